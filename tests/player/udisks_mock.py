#!/usr/bin/python3
"""A stand-in for UDisks2 on a private bus, for the player tests.

Run under dbus-run-session. Starts python-dbusmock as org.freedesktop.UDisks2 with an object
manager, prints "bus ADDRESS", then takes tab-separated commands on stdin, one per line:
  add NAME MOUNTPOINT LABEL BUSYFILE   a drive and a mounted block with a file system
  remove NAME                          both objects gone
  calls NAME                           prints "calls UNMOUNT POWEROFF" (how often each was called)
Unmount fails as UDisks2 does on a busy file system while BUSYFILE exists.
Exits 77 when python-dbusmock is not installed.
"""
import os
import subprocess
import sys
import time

try:
    import dbus
    import dbusmock  # noqa: F401
except ImportError:
    sys.exit(77)

SERVICE = 'org.freedesktop.UDisks2'
ROOT = '/org/freedesktop/UDisks2'
MOCK = 'org.freedesktop.DBus.Mock'
MANAGER = 'org.freedesktop.DBus.ObjectManager'
BLOCK = 'org.freedesktop.UDisks2.Block'
FILESYSTEM = 'org.freedesktop.UDisks2.Filesystem'
DRIVE = 'org.freedesktop.UDisks2.Drive'

BUSY_CODE = '''
import os
if os.path.exists(%r):
    raise dbus.exceptions.DBusException('Error unmounting %s: target is busy',
                                        name='org.freedesktop.UDisks2.Error.DeviceBusy')
'''


def paths(name):
    return ROOT + '/block_devices/' + name, ROOT + '/drives/' + name


def mock_of(bus, path):
    return dbus.Interface(bus.get_object(SERVICE, path), MOCK)


def emit(manager, signal, path, interfaces):
    if signal == 'InterfacesAdded':
        payload = dbus.Dictionary({i: dbus.Dictionary({}, signature='sv') for i in interfaces},
                                  signature='sa{sv}')
        manager.EmitSignal(MANAGER, signal, 'oa{sa{sv}}', [dbus.ObjectPath(path), payload])
    else:
        manager.EmitSignal(MANAGER, signal, 'oas',
                           [dbus.ObjectPath(path), dbus.Array(interfaces, signature='s')])


def add(bus, manager, name, mount_point, label, busy_file):
    block, drive = paths(name)
    device = '/dev/' + name
    manager.AddObject(drive, DRIVE, {
        'Vendor': dbus.String('Apple', variant_level=1),
        'Model': dbus.String('iPod', variant_level=1),
        'Size': dbus.UInt64(8 * 1024 ** 3, variant_level=1),
    }, [('PowerOff', 'a{sv}', '', '')])
    manager.AddObject(block, BLOCK, {
        'Device': dbus.ByteArray(device.encode() + b'\0', variant_level=1),
        'IdLabel': dbus.String(label, variant_level=1),
        'Drive': dbus.ObjectPath(drive, variant_level=1),
        'ReadOnly': dbus.Boolean(False, variant_level=1),
        'Size': dbus.UInt64(8 * 1024 ** 3, variant_level=1),
    }, [])
    block_mock = mock_of(bus, block)
    block_mock.AddProperties(FILESYSTEM, {
        'MountPoints': dbus.Array([dbus.ByteArray(mount_point.encode() + b'\0')], signature='ay',
                                  variant_level=1),
    })
    block_mock.AddMethods(FILESYSTEM, [('Unmount', 'a{sv}', '', BUSY_CODE % (busy_file, device))])
    emit(manager, 'InterfacesAdded', drive, [DRIVE])
    emit(manager, 'InterfacesAdded', block, [BLOCK, FILESYSTEM])


def main():
    bus = dbus.SessionBus()
    mock = subprocess.Popen([sys.executable, '-m', 'dbusmock', '--session', '-m', SERVICE, ROOT,
                             MANAGER], stdout=subprocess.DEVNULL)
    for _ in range(200):
        if bus.name_has_owner(SERVICE):
            break
        time.sleep(0.05)
    else:
        sys.exit('the mock did not start')
    manager = mock_of(bus, ROOT)
    print('bus', os.environ['DBUS_SESSION_BUS_ADDRESS'], flush=True)
    try:
        for line in sys.stdin:
            words = line.rstrip('\n').split('\t')
            if words[0] == 'add':
                add(bus, manager, *words[1:5])
            elif words[0] == 'remove':
                block, drive = paths(words[1])
                for path, interfaces in ((block, [BLOCK, FILESYSTEM]), (drive, [DRIVE])):
                    manager.RemoveObject(path)
                    emit(manager, 'InterfacesRemoved', path, interfaces)
            elif words[0] == 'calls':
                block, drive = paths(words[1])
                unmount = len(mock_of(bus, block).GetMethodCalls('Unmount'))
                power_off = len(mock_of(bus, drive).GetMethodCalls('PowerOff'))
                print('calls', unmount, power_off, flush=True)
                continue
            print('ok', flush=True)
    finally:
        mock.terminate()
        mock.wait()


if __name__ == '__main__':
    main()
