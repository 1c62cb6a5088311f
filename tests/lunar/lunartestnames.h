#pragma once

// The name tables of the lunar date text, written down again for the tests so that
// expected texts do not come from the code under test.

#include <QByteArray>
#include <QString>

namespace lunartest {

inline QString lunarDateText(int lunarYear, int lunarMonth, bool leap, int lunarDay)
{
    static const char* const stems[10] = {"甲", "乙", "丙", "丁", "戊", "己", "庚", "辛", "壬", "癸"};
    static const char* const branches[12] = {"子", "丑", "寅", "卯", "辰", "巳", "午", "未", "申", "酉", "戌", "亥"};
    static const char* const animals[12] = {"鼠", "牛", "虎", "兔", "龙", "蛇", "马", "羊", "猴", "鸡", "狗", "猪"};
    static const char* const months[13] = {"*", "正", "二", "三", "四", "五", "六", "七", "八", "九", "十", "十一", "腊"};
    static const char* const days[31] = {
        "*", "初一", "初二", "初三", "初四", "初五", "初六", "初七", "初八", "初九", "初十",
        "十一", "十二", "十三", "十四", "十五", "十六", "十七", "十八", "十九", "二十",
        "廿一", "廿二", "廿三", "廿四", "廿五", "廿六", "廿七", "廿八", "廿九", "三十"};
    if (lunarYear < 4 || lunarMonth < 1 || lunarMonth > 12 || lunarDay < 1 || lunarDay > 30)
        return QString();
    const int c = (lunarYear - 4) % 60;
    QByteArray t;
    t += animals[c % 12];
    t += "(";
    t += stems[c % 10];
    t += branches[c % 12];
    t += ")年";
    if (leap)
        t += "闰";
    t += months[lunarMonth];
    t += "月";
    t += days[lunarDay];
    return QString::fromUtf8(t);
}

} // namespace lunartest
