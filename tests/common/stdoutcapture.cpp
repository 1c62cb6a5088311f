#include "stdoutcapture.h"

#include <QDeadlineTimer>
#include <QTest>

#include <cstdio>
#include <unistd.h>

StdoutCapture::StdoutCapture()
{
    std::fflush(stdout);
    if (!m_file.open())
        qFatal("cannot open a temporary file for standard output");
    m_savedStdout = ::dup(STDOUT_FILENO);
    ::dup2(m_file.handle(), STDOUT_FILENO);
}

StdoutCapture::~StdoutCapture()
{
    std::fflush(stdout);
    ::dup2(m_savedStdout, STDOUT_FILENO);
    ::close(m_savedStdout);
}

QByteArray StdoutCapture::take()
{
    std::fflush(stdout);
    return takeWritten();
}

QByteArray StdoutCapture::takeWritten()
{
    QFile reader(m_file.fileName());
    if (!reader.open(QIODevice::ReadOnly))
        return {};
    reader.seek(m_readPosition);
    const QByteArray text = reader.readAll();
    m_readPosition += text.size();
    return text;
}

bool StdoutCapture::waitFor(const QByteArray& needle, QByteArray* seen, int count, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while ((*seen += take()).count(needle) < count) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(5);
    }
    return true;
}
