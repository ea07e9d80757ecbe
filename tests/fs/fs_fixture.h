#pragma once
// Small trees on disk for the engine tests, built with plain system calls so that the tests do
// not lean on the code they check.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <optional>

namespace quenda::test {

class TempTree {
public:
    TempTree();
    // Removes the tree byte for byte: QTemporaryDir cannot remove names that are not UTF-8.
    ~TempTree();
    QString root() const { return m_dir.path(); }
    QString path(const QString &relative) const { return root() + QLatin1Char('/') + relative; }
    // Creates the file (and its folders) with the bytes; returns its path.
    QString file(const QString &relative, const QByteArray &bytes = "x") const;
    QString folder(const QString &relative) const;
    QString link(const QString &relative, const QString &target) const;
    // Every entry below root (or below folder), relative, sorted; links are not followed.
    QStringList listing(const QString &relative = QString()) const;

private:
    QTemporaryDir m_dir;
};

QByteArray readFile(const QString &path);
// A file of that apparent size that takes no room on the disk; returns its path.
QString sparseFile(const QString &path, qint64 size);
unsigned modeOf(const QString &path); // permission bits, links not followed
bool isLink(const QString &path);

// Mounts need root: check mounted() and skip otherwise. Each is unmounted when it goes.
class Mount {
public:
    ~Mount();
    Mount(const Mount &) = delete;
    Mount &operator=(const Mount &) = delete;
    bool mounted() const { return m_mounted; }

protected:
    explicit Mount(const QString &point) : m_point(point) {}
    QString m_point;
    bool m_mounted = false;
};

// A tmpfs of the given size mounted on a fresh folder.
class TmpfsMount : public Mount {
public:
    TmpfsMount(const QString &mountPoint, const char *options);
    bool remountReadOnly();
};

// A bind mount of source on target (both existing folders).
class BindMount : public Mount {
public:
    BindMount(const QString &source, const QString &target);
};

// Marks an existing file immutable (root only; check marked()): a rename over it fails with
// EPERM while the folder still takes new files. Unmarked when it goes.
class ImmutableFile {
public:
    explicit ImmutableFile(const QString &path);
    ~ImmutableFile();
    ImmutableFile(const ImmutableFile &) = delete;
    ImmutableFile &operator=(const ImmutableFile &) = delete;
    bool marked() const { return m_marked; }

private:
    QString m_path;
    bool m_marked = false;
};

// Runs check as an unprivileged user (in a child process when the tests run as root, since
// root reads every folder). Returns nullopt when no such user can be had.
std::optional<bool> runUnprivileged(const std::function<bool()> &check);

} // namespace quenda::test
