#!/usr/bin/python3
# SPDX-License-Identifier: MIT
# A stand-in for UDisks2 on a private system bus (DBUS_SYSTEM_BUS_ADDRESS):
# one removable stick whose file system is mounted at MOUNTPOINT. Unmount
# really unmounts it (the test runs as root) unless the file BUSY exists,
# when it answers as UDisks2 does for a busy file system; PowerOff is only
# recorded. Every call goes to LOG, one line each.
#
#   udisks2_standin.py MOUNTPOINT LOG BUSY
import subprocess
import sys

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

MOUNTPOINT, LOG, BUSY = sys.argv[1:4]
ROOT = '/org/freedesktop/UDisks2'
BLOCK = ROOT + '/block_devices/sdx1'
DRIVE = ROOT + '/drives/Velmora_Stick'


def record(line):
    with open(LOG, 'a') as f:
        f.write(line + '\n')


class Busy(dbus.DBusException):
    _dbus_error_name = 'org.freedesktop.UDisks2.Error.DeviceBusy'


class Manager(dbus.service.Object):
    @dbus.service.method('org.freedesktop.DBus.ObjectManager', out_signature='a{oa{sa{sv}}}')
    def GetManagedObjects(self):
        mounted = subprocess.run(['mountpoint', '-q', MOUNTPOINT]).returncode == 0
        points = [dbus.ByteArray(MOUNTPOINT.encode() + b'\0')] if mounted else []
        return {
            dbus.ObjectPath(BLOCK): {
                'org.freedesktop.UDisks2.Block': {
                    'Device': dbus.ByteArray(b'/dev/sdx1\0'),
                    'Drive': dbus.ObjectPath(DRIVE),
                },
                'org.freedesktop.UDisks2.Filesystem': {
                    'MountPoints': dbus.Array(points, signature='ay'),
                },
            },
            dbus.ObjectPath(DRIVE): {
                'org.freedesktop.UDisks2.Drive': {
                    'Removable': True, 'Ejectable': True, 'CanPowerOff': True,
                },
            },
        }


class Block(dbus.service.Object):
    @dbus.service.method('org.freedesktop.UDisks2.Filesystem', in_signature='a{sv}')
    def Unmount(self, options):
        import os
        if os.path.exists(BUSY):
            record('Unmount refused')
            raise Busy('Error unmounting /dev/sdx1: target is busy')
        subprocess.run(['umount', MOUNTPOINT], check=True)
        record('Unmount ' + MOUNTPOINT)


class Drive(dbus.service.Object):
    @dbus.service.method('org.freedesktop.UDisks2.Drive', in_signature='a{sv}')
    def PowerOff(self, options):
        record('PowerOff')

    @dbus.service.method('org.freedesktop.UDisks2.Drive', in_signature='a{sv}')
    def Eject(self, options):
        record('Eject')


DBusGMainLoop(set_as_default=True)
bus = dbus.SystemBus()
name = dbus.service.BusName('org.freedesktop.UDisks2', bus)
objects = [Manager(bus, ROOT), Block(bus, BLOCK), Drive(bus, DRIVE)]
record('ready')
GLib.MainLoop().run()
