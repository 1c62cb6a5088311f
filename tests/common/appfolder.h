#pragma once

#include <QByteArray>
#include <QSize>
#include <QString>
#include <QTemporaryDir>

// A throw-away program folder: config.cfg, skin/NAME/skin.cfg and images,
// laid out as the lock screen expects them beside its executable.
class AppFolder
{
public:
    AppFolder();

    bool isValid() const { return m_dir.isValid(); }
    QString path() const { return m_dir.path(); }
    // The program path the lock window would be started by.
    QString programPath() const { return m_dir.path() + QLatin1String("/lockapp"); }

    void writeFile(const QString& relativePath, const QByteArray& contents);
    void writeConfig(const QByteArray& contents) { writeFile(QStringLiteral("config.cfg"), contents); }
    void writeSkin(const QString& skin, const QByteArray& contents)
    {
        writeFile(QStringLiteral("skin/") + skin + QStringLiteral("/skin.cfg"), contents);
    }
    // An opaque image of the given size and colour, saved as PNG.
    void writeImage(const QString& relativePath, QSize size, unsigned rgb = 0x336699);

    // The settings and skin of the classic worked example, with images of the
    // given sizes (an empty size writes no file).
    void writeClassic(QSize background = QSize(240, 320), QSize face = QSize(150, 150), QSize cap = QSize(21, 21));

    // The classic skin with the face centred on the screen (so a 100 px face
    // turns its hands about (120, 160)), a 50 px hour hand and hands of three
    // colours: hour green, minute blue, second red.
    void writeHandProbe(QSize background, QSize face, QSize cap);

    // The classic worked example with the built lockapp copied in as
    // programPath(), as an install lays them out; false when the copy failed.
    bool installClassicLockapp();

    // A bundled skin (as staged in the build folder) with settings that
    // select it; false when a file could not be copied.
    bool installBundledSkin(const QString& name);

    static QByteArray classicSkin();

private:
    QTemporaryDir m_dir;
};
