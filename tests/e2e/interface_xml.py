#!/usr/bin/python3
# SPDX-License-Identifier: MIT
# Reads a service's introspection on standard input and prints the one interface named as the
# argument, inside a bare node, exactly as the service wrote it: the committed descriptions of the
# desktops' session managers are made with this and compared with it, so each stays the real one.
import re
import sys

interface = sys.argv[1]
text = sys.stdin.read()
match = re.search(
    r'^([ \t]*)<interface name="%s">.*?^\1</interface>\n' % re.escape(interface), text, re.M | re.S)
if not match:
    sys.exit("no interface %s in the introspection" % interface)
sys.stdout.write(
    '<!DOCTYPE node PUBLIC "-//freedesktop//DTD D-BUS Object Introspection 1.0//EN"\n'
    ' "http://www.freedesktop.org/standards/dbus/1.0/introspect.dtd">\n'
    "<node>\n" + match.group(0) + "</node>\n")
