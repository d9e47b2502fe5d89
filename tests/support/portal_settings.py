# SPDX-License-Identifier: MIT
'''The desktop portal's Settings for python3-dbusmock, which has no template of its own.

Parameters: "settings", {namespace: {key: value}} to start with (whole numbers
are sent as uint32, as the freedesktop color-scheme is); "ReadOne", false for a
portal that only has the older Read; "hang", seconds every lookup waits before it
answers. SetSetting(namespace, key, value) on the
mock interface changes one and sends SettingChanged.
'''

import dbus

BUS_NAME = 'org.freedesktop.portal.Desktop'
MAIN_OBJ = '/org/freedesktop/portal/desktop'
MAIN_IFACE = 'org.freedesktop.portal.Settings'
SYSTEM_BUS = False

LOOKUP = ('if (args[0], args[1]) not in self.settings:\n'
          '    raise dbus.exceptions.DBusException("no such setting",'
          ' name="org.freedesktop.portal.Error.NotFound")\n'
          'value = self.settings[(args[0], args[1])]\n')


def as_dbus(value):
    if isinstance(value, bool):
        return dbus.Boolean(value)
    if isinstance(value, int):
        return dbus.UInt32(value)
    if isinstance(value, float):
        return dbus.Double(value)
    return dbus.String(value)


def load(mock, parameters):
    mock.settings = {}
    for namespace, keys in parameters.get('settings', {}).items():
        for key, value in keys.items():
            mock.settings[(namespace, key)] = as_dbus(value)
    # Read wraps its answer in one variant more than the signature says.
    lookup = LOOKUP
    if parameters.get('hang'):
        lookup = 'import time\ntime.sleep(%f)\n' % parameters['hang'] + lookup
    methods = [('Read', 'ss', 'v', lookup + 'ret = type(value)(value, variant_level=2)')]
    if parameters.get('ReadOne', True):
        methods.append(('ReadOne', 'ss', 'v', lookup + 'ret = value'))
    mock.AddMethods(MAIN_IFACE, methods)
    mock.AddProperties(MAIN_IFACE, {'version': dbus.UInt32(2 if parameters.get('ReadOne', True)
                                                            else 1)})


@dbus.service.method('org.freedesktop.DBus.Mock', in_signature='ssv', out_signature='')
def SetSetting(self, namespace, key, value):
    self.settings[(namespace, key)] = value
    self.EmitSignal(MAIN_IFACE, 'SettingChanged', 'ssv', [namespace, key, value])
