#include "player/udisks.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusReply>

namespace quenda {

namespace {

using InterfaceMap = QMap<QString, QVariantMap>;
using ManagedObjects = QMap<QDBusObjectPath, InterfaceMap>;

constexpr const char *kBlock = "org.freedesktop.UDisks2.Block";
constexpr const char *kFilesystem = "org.freedesktop.UDisks2.Filesystem";
constexpr const char *kDrive = "org.freedesktop.UDisks2.Drive";
constexpr int kListTimeoutMs = 5000;
// Unmounting writes out what the system still holds for the player; that may take a while.
constexpr int kEjectTimeoutMs = 120000;

void registerTypes()
{
    static const bool done = [] {
        qDBusRegisterMetaType<InterfaceMap>();
        qDBusRegisterMetaType<ManagedObjects>();
        return true;
    }();
    (void)done;
}

// "ay" arrives as bytes with the C string's terminating NUL.
QString bytesText(const QVariant &value)
{
    QByteArray bytes = value.toByteArray();
    if (value.userType() == qMetaTypeId<QDBusArgument>()) {
        const QDBusArgument arg = value.value<QDBusArgument>();
        arg >> bytes;
    }
    while (bytes.endsWith('\0'))
        bytes.chop(1);
    return QString::fromLocal8Bit(bytes);
}

QStringList byteStrings(const QVariant &value)
{
    QList<QByteArray> list;
    if (value.userType() == qMetaTypeId<QDBusArgument>()) {
        const QDBusArgument arg = value.value<QDBusArgument>();
        arg >> list;
    } else {
        list = value.value<QList<QByteArray>>();
    }
    QStringList out;
    for (QByteArray bytes : list) {
        while (bytes.endsWith('\0'))
            bytes.chop(1);
        if (!bytes.isEmpty())
            out << QString::fromLocal8Bit(bytes);
    }
    return out;
}

QString objectPath(const QVariant &value)
{
    return value.value<QDBusObjectPath>().path();
}

Error errorOf(const QDBusError &error, const QString &action)
{
    const QString name = error.name();
    if (name == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown") ||
        name == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner") ||
        name == QLatin1String("org.freedesktop.DBus.Error.Disconnected") ||
        name == QLatin1String("org.freedesktop.DBus.Error.NoServer"))
        return fail(QStringLiteral("UDisks2 does not run on this system"), kUDisksUnavailable);
    const int code = name.endsWith(QLatin1String(".DeviceBusy")) ||
                             error.message().contains(QLatin1String("busy"), Qt::CaseInsensitive)
                         ? kUDisksBusy
                         : kUDisksFailed;
    return fail(QStringLiteral("%1: %2").arg(action, error.message()), code);
}

Status callWithOptions(const QDBusConnection &bus, const QString &object, const char *interface,
                       const char *method, const QString &action)
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        QLatin1String(kUDisksService), object, QLatin1String(interface), QLatin1String(method));
    call << QVariantMap();
    const QDBusMessage reply = bus.call(call, QDBus::Block, kEjectTimeoutMs);
    if (reply.type() == QDBusMessage::ErrorMessage)
        return errorOf(QDBusError(reply), action);
    return {};
}

} // namespace

UDisksClient::UDisksClient(QDBusConnection bus) : m_bus(std::move(bus))
{
    registerTypes();
}

UDisksClient UDisksClient::system()
{
    return UDisksClient(QDBusConnection::systemBus());
}

Result<std::vector<UDisksFilesystem>> UDisksClient::filesystems() const
{
    if (!m_bus.isConnected())
        return fail(QStringLiteral("UDisks2 does not run on this system"), kUDisksUnavailable);
    const QDBusMessage call = QDBusMessage::createMethodCall(
        QLatin1String(kUDisksService), QLatin1String(kUDisksPath),
        QStringLiteral("org.freedesktop.DBus.ObjectManager"), QStringLiteral("GetManagedObjects"));
    const QDBusReply<ManagedObjects> reply = m_bus.call(call, QDBus::Block, kListTimeoutMs);
    if (!reply.isValid())
        return errorOf(reply.error(), QStringLiteral("UDisks2 cannot list the disks"));
    const ManagedObjects objects = reply.value();
    std::vector<UDisksFilesystem> out;
    for (auto it = objects.cbegin(); it != objects.cend(); ++it) {
        const InterfaceMap &interfaces = it.value();
        if (!interfaces.contains(QLatin1String(kBlock)) ||
            !interfaces.contains(QLatin1String(kFilesystem)))
            continue;
        const QVariantMap block = interfaces.value(QLatin1String(kBlock));
        const QVariantMap filesystem = interfaces.value(QLatin1String(kFilesystem));
        UDisksFilesystem fs;
        fs.blockObject = it.key().path();
        fs.driveObject = objectPath(block.value(QStringLiteral("Drive")));
        fs.device = bytesText(block.value(QStringLiteral("PreferredDevice")));
        if (fs.device.isEmpty())
            fs.device = bytesText(block.value(QStringLiteral("Device")));
        fs.label = block.value(QStringLiteral("IdLabel")).toString();
        fs.readOnly = block.value(QStringLiteral("ReadOnly")).toBool();
        fs.blockSize = block.value(QStringLiteral("Size")).toLongLong();
        fs.mountPoints = byteStrings(filesystem.value(QStringLiteral("MountPoints")));
        const InterfaceMap driveInterfaces = objects.value(QDBusObjectPath(fs.driveObject));
        if (driveInterfaces.contains(QLatin1String(kDrive))) {
            const QVariantMap drive = driveInterfaces.value(QLatin1String(kDrive));
            const QString vendor = drive.value(QStringLiteral("Vendor")).toString().trimmed();
            const QString model = drive.value(QStringLiteral("Model")).toString().trimmed();
            fs.driveModel = vendor.isEmpty() || model.startsWith(vendor)
                                ? model
                                : QStringLiteral("%1 %2").arg(vendor, model).trimmed();
            fs.driveSize = drive.value(QStringLiteral("Size")).toLongLong();
        }
        out.push_back(std::move(fs));
    }
    return out;
}

Status UDisksClient::unmount(const QString &blockObject) const
{
    return callWithOptions(m_bus, blockObject, kFilesystem, "Unmount",
                           QStringLiteral("UDisks2 cannot unmount it"));
}

Status UDisksClient::powerOff(const QString &driveObject) const
{
    return callWithOptions(m_bus, driveObject, kDrive, "PowerOff",
                           QStringLiteral("UDisks2 cannot power it off"));
}

} // namespace quenda
