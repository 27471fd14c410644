#pragma once

#include "draw/DrawRecord.h"

#include <QByteArray>
#include <QMap>
#include <QString>

namespace quorvex::test {

// A committed fixture page of tests/import/fixtures (NAME.html) or its Chromium text (NAME.txt).
QByteArray fixture(const QString& fileName);

// The draws of a results page, read from its Chromium text with a pattern of its own (issue,
// a 13-character date column, five two-digit numbers), independently of the update's scan.
QMap<qint64, Numbers> drawsInText(const QString& text);

// A results page of year listing sequence numbers first..last, in the list markup of the
// fixture results-2014.html; the numbers follow from year, sequence and seed. A sequence number
// in changed lists the numbers text it maps to instead ("00 02 03 04 05"), or is left out when
// that is a null string.
QByteArray listPage(int year, int first, int last, int seed = 1,
                    const QMap<int, QString>& changed = {});
Numbers listPageDraw(int year, int sequence, int seed = 1);

} // namespace quorvex::test
