#!/usr/bin/env node
// Prints src/lunar/lunaryearinfo.cpp: the packed table lunarYearInfo for the
// lunar years 1900..2100, in the word layout of the historical 1921-2020 table.
//
//   node generate.js > ../../src/lunar/lunaryearinfo.cpp
//
// Run by hand (see README.md); the build and the tests never run it and never
// depend on its packages. The data comes from lunar-javascript, which computes
// the calendar astronomically (new moons and solar terms, Beijing time).
//
// Word layout (one word per lunar year):
//   bits 16 and up  leap field: number of the month the leap month follows, 0 = none
//   bits 12..0      one bit per month of a 13-month year, first month in bit 12
//   bits 11..0      one bit per month of a 12-month year, first month in bit 11
//   a set bit means a 30-day month, a clear bit a 29-day month.
//
// Before printing anything the generator checks that
//   - its words for 1921..2020 are exactly the historical table's 100 words,
//   - lunar year 1900 begins on 1900-01-31 and lunar year 1921 on 1921-02-08,
//   - the years follow one another without gap (each year's first day is the
//     previous year's first day plus its length),
//   - 2100-12-31 lies inside lunar year 2100,
//   - every word is read back correctly by the conversion's own rule
//     (k = 12 when the word is greater than 4094, else 11).
// Any failure is reported on standard error with exit code 1 and no output.

'use strict';

const fs = require('fs');
const path = require('path');
const { LunarYear, Solar } = require('lunar-javascript');

const FIRST_YEAR = 1900;
const LAST_YEAR = 2100;

// The historical table: its word for each lunar year 1921..2020.
const HISTORICAL_WORDS = fs.readFileSync(path.join(__dirname, 'historical-words.txt'), 'utf8')
  .split('\n').filter((line) => !line.startsWith('#'))
  .join(' ').split(/\s+/).filter((token) => token !== '').map((token) => Number(token));
if (HISTORICAL_WORDS.length !== 100 || HISTORICAL_WORDS.some(Number.isNaN)) {
  process.stderr.write('generate.js: historical-words.txt does not hold 100 words\n');
  process.exit(1);
}

const errors = [];
function fail(msg) { errors.push(msg); }

const hex = (w) => '0x' + w.toString(16).toUpperCase().padStart(8, '0');
const ymd = (jd) => Solar.fromJulianDay(jd).toYmd();

// Packs one lunar year; returns { word, firstJd, length, months }.
function packYear(y) {
  const months = LunarYear.fromYear(y).getMonthsInYear();
  let bits = 0;
  let leap = 0;
  let length = 0;
  months.forEach((m, idx) => {
    const days = m.getDayCount();
    if (days !== 29 && days !== 30) fail(`${y}: month ${m.getMonth()} has ${days} days`);
    bits = bits * 2 + (days === 30 ? 1 : 0);
    length += days;
    if (m.getMonth() < 0) {
      if (leap !== 0) fail(`${y}: two leap months`);
      leap = -m.getMonth();
      // The leap month follows the month of the same number.
      if (idx === 0 || Math.abs(months[idx - 1].getMonth()) !== leap) fail(`${y}: leap month ${leap} not after month ${leap}`);
    } else if (m.getMonth() !== idx + 1 - (leap !== 0 ? 1 : 0)) {
      fail(`${y}: month ${m.getMonth()} at position ${idx + 1}`);
    }
  });
  if (months.length !== (leap !== 0 ? 13 : 12)) fail(`${y}: ${months.length} months, leap ${leap}`);
  return { word: leap * 65536 + bits, firstJd: months[0].getFirstJulianDay(), length, monthCount: months.length };
}

// Reads a word back the way the conversion does (its step 2).
function unpack(word) {
  const k = word > 4094 ? 12 : 11;
  const lengths = [];
  for (let n = k; n >= 0; n--) lengths.push(29 + (Math.floor(word / 2 ** n) % 2));
  return { leap: Math.floor(word / 65536), lengths };
}

const years = [];
for (let y = FIRST_YEAR; y <= LAST_YEAR; y++) years.push({ year: y, ...packYear(y) });

for (let i = 0; i < years.length; i++) {
  const y = years[i];
  const back = unpack(y.word);
  if (back.lengths.length !== y.monthCount) fail(`${y.year}: word ${hex(y.word)} reads back as ${back.lengths.length} months`);
  if (back.lengths.reduce((a, b) => a + b, 0) !== y.length) fail(`${y.year}: word ${hex(y.word)} reads back with another length`);
  if (i > 0 && years[i - 1].firstJd + years[i - 1].length !== y.firstJd) fail(`${y.year}: does not follow lunar year ${y.year - 1}`);
  if (y.year >= 1921 && y.year <= 2020) {
    const historical = HISTORICAL_WORDS[y.year - 1921];
    if (historical !== y.word) fail(`${y.year}: generated ${hex(y.word)}, historical table ${hex(historical)}`);
  }
}
if (ymd(years[0].firstJd) !== '1900-01-31') fail(`lunar year 1900 begins ${ymd(years[0].firstJd)}`);
if (ymd(years[1921 - FIRST_YEAR].firstJd) !== '1921-02-08') fail('lunar year 1921 does not begin 1921-02-08');
const last = years[years.length - 1];
if (ymd(last.firstJd + last.length - 1) < '2100-12-31') fail(`lunar year 2100 ends ${ymd(last.firstJd + last.length - 1)}`);

if (errors.length !== 0) {
  for (const e of errors) process.stderr.write(`generate.js: ${e}\n`);
  process.exit(1);
}

const version = require('lunar-javascript/package.json').version;
const out = [];
out.push('// GENERATED FILE - do not edit by hand.');
out.push('//');
out.push('// Generated by tools/lunar-table/generate.js from lunar-javascript ' + version + ':');
out.push('//     cd tools/lunar-table && npm ci && node generate.js > ../../src/lunar/lunaryearinfo.cpp');
out.push('// The generator checks that the words for 1921..2020 are exactly the 100');
out.push('// words of the historical table for 1921-2020 before it prints this file.');
out.push('//');
out.push('// One word per lunar year 1900..2100 (the historical table\'s layout): bits 16 and up');
out.push('// hold the leap field (the month the leap month follows, 0 = none); bits');
out.push('// 12..0 (13-month year) or 11..0 (12-month year) hold one bit per month,');
out.push('// first month in the highest bit, set = 30 days, clear = 29 days.');
out.push('// Lunar year 1900 begins on 1900-01-31.');
out.push('');
out.push('#include "lunar/lunaryearinfo.h"');
out.push('');
out.push('const unsigned int lunarYearInfo[] = {');
for (let i = 0; i < years.length; i += 10) {
  const row = years.slice(i, i + 10);
  out.push(`    /* ${row[0].year}-${row[row.length - 1].year} */ ` + row.map((y) => hex(y.word)).join(', ') + ',');
}
out.push('};');
out.push('');
out.push('static_assert(sizeof(lunarYearInfo) / sizeof(lunarYearInfo[0]) == lunarYearInfoCount,');
out.push('              "lunarYearInfo must hold one word per lunar year 1900..2100");');
process.stdout.write(out.join('\n') + '\n');
