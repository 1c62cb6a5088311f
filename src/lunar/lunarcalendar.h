#pragma once

#include <QString>

// The Gregorian date handed to the lunar conversion.
struct tagDate
{
    int day;    // day of the Gregorian month, 1..31
    int month;  // Gregorian month, 1 = January .. 12 = December
    int year;   // Gregorian year with century, e.g. 2008
};

// The lunar date conversion, for the dates 1900-01-31 .. 2100-12-31.
//
// Replaces the content of strOut with the lunar date text of date, e.g.
// 鼠(庚子)年闰四月初一, as UTF-8 bytes with one byte per QChar (Latin-1 form):
// take strOut.toLatin1() and decode it as UTF-8 to get the text proper.
//
// For a date outside 1900-01-31 .. 2100-12-31, and for any tagDate that is not
// a calendar date (month outside 1..12, day outside the month), strOut becomes
// empty. Any int values are accepted without undefined behaviour.
//
// Not reentrant (its working values are function-level statics); call it from
// one thread only.
void GetDayOf(const tagDate& date, QString& strOut);
