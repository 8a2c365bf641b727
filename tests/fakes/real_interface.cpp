// SPDX-License-Identifier: MIT
#include "fakes/real_interface.h"

#include <QFile>
#include <QXmlStreamReader>

namespace veltrask::testing {

QString realInterfacePath(const QString& fileName) {
    return QStringLiteral(VELTRASK_DBUS_INTERFACES "/") + fileName;
}

QMap<QString, Signatures> realMethods(const QString& fileName, const QString& interface) {
    QMap<QString, Signatures> methods;
    QFile file(realInterfacePath(fileName));
    if (!file.open(QIODevice::ReadOnly)) {
        return methods;
    }
    QXmlStreamReader xml(&file);
    bool inInterface = false;
    QString method;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isEndElement() && xml.name() == QLatin1String("interface")) {
            inInterface = false;
        } else if (xml.isEndElement() && xml.name() == QLatin1String("method")) {
            method.clear();
        }
        if (!xml.isStartElement()) {
            continue;
        }
        const auto attributes = xml.attributes();
        if (xml.name() == QLatin1String("interface")) {
            inInterface = attributes.value(QLatin1String("name")) == interface;
        } else if (inInterface && xml.name() == QLatin1String("method")) {
            method = attributes.value(QLatin1String("name")).toString();
            methods[method];
        } else if (!method.isEmpty() && xml.name() == QLatin1String("arg")) {
            Signatures& signatures = methods[method];
            // An argument without a direction is an input, as the format says.
            (attributes.value(QLatin1String("direction")) == QLatin1String("out")
                 ? signatures.out
                 : signatures.in) += attributes.value(QLatin1String("type"));
        }
    }
    return methods;
}

}  // namespace veltrask::testing
