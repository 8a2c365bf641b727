// SPDX-License-Identifier: MIT
#include <QTest>
class IdleInhibitorTest : public QObject { Q_OBJECT };
QTEST_GUILESS_MAIN(IdleInhibitorTest)
#include "idle_inhibitor_test.moc"
