#pragma once

#include <QByteArray>
#include <QString>

// Whether a JPEG's data decodes whole. The toolkit's reader draws a JPEG cut
// short or damaged without a word: libjpeg fills in what is missing (grey
// below where the data ends) and only warns. This decodes every row, keeping
// none, and reports the first warning or error.
struct JpegScan
{
    bool whole = false;
    QString problem;  // libjpeg's words, for a JPEG that is not whole

    static JpegScan of(const QByteArray& data);
};
