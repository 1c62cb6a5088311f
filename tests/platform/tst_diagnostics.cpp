// When diagnostic lines reach standard output: each at once, or a batch's
// all together when the outermost batch ends.
#include "../common/stdoutcapture.h"

#include "platform/diagnostics.h"

#include <QApplication>
#include <QTest>

class tst_Diagnostics : public QObject
{
    Q_OBJECT
private slots:
    void lineIsWrittenAtOnce();
    void batchWritesItsLinesWhenItEnds();
    void silencedLinesAreNotWritten();
};

void tst_Diagnostics::lineIsWrittenAtOnce()
{
    StdoutCapture out;
    writeDiagnostic("\nLCDOff\n");
    QCOMPARE(out.takeWritten(), QByteArray("\nLCDOff\n"));
    writeDiagnostic(QByteArray("keyCode:42\n"));
    QCOMPARE(out.takeWritten(), QByteArray("keyCode:42\n"));
}

void tst_Diagnostics::batchWritesItsLinesWhenItEnds()
{
    StdoutCapture out;
    {
        const DiagnosticBatch frame;
        writeDiagnostic("\npaint\n");
        QCOMPARE(out.takeWritten(), QByteArray());
        {
            const DiagnosticBatch inner;
            writeDiagnostic("\nlen:21\n");
        }
        QCOMPARE(out.takeWritten(), QByteArray());
        writeDiagnostic("\npaint over\n");
        QCOMPARE(out.takeWritten(), QByteArray());
    }
    QCOMPARE(out.takeWritten(), QByteArray("\npaint\n\nlen:21\n\npaint over\n"));
    // And lines after the batch are written at once again.
    writeDiagnostic("\nLCDOn\n");
    QCOMPARE(out.takeWritten(), QByteArray("\nLCDOn\n"));
}

void tst_Diagnostics::silencedLinesAreNotWritten()
{
    StdoutCapture out;
    setDiagnosticsEnabled(false);
    {
        const DiagnosticBatch frame;
        writeDiagnostic("\npaint\n");
    }
    writeDiagnostic("\nLCDOff\n");
    setDiagnosticsEnabled(true);
    QCOMPARE(out.take(), QByteArray());
}

LOCKAPP_TEST_MAIN_LOG_TO_STDERR(tst_Diagnostics)
#include "tst_diagnostics.moc"
