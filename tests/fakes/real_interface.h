// SPDX-License-Identifier: MIT
#pragma once

#include <QMap>
#include <QString>

namespace veltrask::testing {

// A method's argument types, as "in -> out" signatures.
struct Signatures {
    QString in;
    QString out;

    friend bool operator==(const Signatures&, const Signatures&) = default;
};

// The methods of `interface` in an introspection saved from a real service (tests/data/dbus), so
// that mocks declare only what the real one has. Empty when the file cannot be read.
QMap<QString, Signatures> realMethods(const QString& fileName, const QString& interface);

// Where the saved introspections are.
QString realInterfacePath(const QString& fileName);

}  // namespace veltrask::testing
