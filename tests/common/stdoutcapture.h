#pragma once

#include <QByteArray>
#include <QTemporaryFile>

// Captures what the process writes to standard output (the lock window's
// diagnostic lines) while it lives.
class StdoutCapture
{
public:
    StdoutCapture();
    ~StdoutCapture();

    // Everything written since the last take().
    QByteArray take();
    // What has reached the file since, without flushing the C library's
    // buffer of standard output first.
    QByteArray takeWritten();
    // Takes what is written into *seen until `needle` has appeared `count`
    // times in *seen. False after timeoutMs.
    bool waitFor(const QByteArray& needle, QByteArray* seen, int count = 1, int timeoutMs = 10000);

private:
    QTemporaryFile m_file;
    int m_savedStdout = -1;
    qint64 m_readPosition = 0;
};

// A QTEST_MAIN whose test log goes to standard error, so that captured
// standard output holds the lock window's lines only.
#define LOCKAPP_TEST_MAIN_LOG_TO_STDERR(TestObject)                         \
    int main(int argc, char** argv)                                         \
    {                                                                       \
        QApplication app(argc, argv);                                       \
        TestObject test;                                                    \
        QStringList args = app.arguments();                                 \
        args << QStringLiteral("-o") << QStringLiteral("/dev/stderr,txt"); \
        return QTest::qExec(&test, args);                                   \
    }
