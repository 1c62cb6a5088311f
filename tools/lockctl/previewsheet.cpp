#include "previewsheet.h"

#include "app/framepreview.h"
#include "platform/phonescreen.h"

#include <QDateTime>
#include <QFont>
#include <QPainter>
#include <QTime>

namespace {
constexpr int Margin = 12;
constexpr int LabelHeight = 20;

const QTime moments[] = {
    QTime(0, 0, 0), QTime(3, 15, 30), QTime(9, 41, 27), QTime(12, 0, 0), QTime(23, 59, 59),
};
} // namespace

QDateTime shownLocalTime(const QDate& day, const QTime& moment)
{
    for (int later = 0; later < 24 * 3600; ++later) {
        const QTime time = moment.addSecs(later);
        if (later > 0 && time < moment)
            break;  // past midnight
        const QDateTime at(day, time);
        if (at.isValid() && at.date() == day && at.time() == time)
            return at;
    }
    return QDateTime();
}

QImage composePreviewSheet(FramePreview& preview, const QDate& day, QStringList* moved)
{
    const int columns = int(std::size(moments));
    const int rows = 2;
    QImage sheet(Margin + columns * (PhoneScreen::Width + Margin), Margin + rows * (LabelHeight + PhoneScreen::Height + Margin),
                 QImage::Format_ARGB32);
    sheet.fill(QColor(0x30, 0x30, 0x30));

    QPainter painter(&sheet);
    QFont labelFont(QStringLiteral("DejaVu Sans"));
    labelFont.setPixelSize(12);
    painter.setFont(labelFont);
    painter.setPen(QColor(0xE0, 0xE0, 0xE0));

    for (int row = 0; row < rows; ++row) {
        const bool armed = row == 1;
        for (int column = 0; column < columns; ++column) {
            const QTime& moment = moments[column];
            const QDateTime at = shownLocalTime(day, moment);
            const int x = Margin + column * (PhoneScreen::Width + Margin);
            const int y = Margin + row * (LabelHeight + PhoneScreen::Height + Margin);
            if (!at.isValid())
                continue;  // a day without this moment or any later second
            // The label gives the time the frame shows; a star marks a moment
            // the clocks skip, which the caller is told of.
            const bool wasMoved = at.time() != moment;
            if (wasMoved && !armed && moved)
                moved->append(QStringLiteral("%1 %2 does not exist in the local time zone; the frames marked * "
                                             "show %3, the first second after it")
                                  .arg(day.toString(QStringLiteral("yyyy-MM-dd")),
                                       moment.toString(QStringLiteral("HH:mm:ss")),
                                       at.time().toString(QStringLiteral("HH:mm:ss"))));
            painter.drawText(QRect(x, y, PhoneScreen::Width, LabelHeight), Qt::AlignLeft | Qt::AlignVCenter,
                             at.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                                 + (wasMoved ? QStringLiteral("*") : QString())
                                 + (armed ? QStringLiteral("  armed") : QStringLiteral("  not armed")));
            painter.drawImage(x, y + LabelHeight, preview.frame(time_t(at.toSecsSinceEpoch()), armed));
        }
    }
    return sheet;
}
