#pragma once

#include <QString>
#include <QTest>

// The seven characters input methods type in other forms than code page 932 holds them: a
// data-driven test's rows of (typed, codePage).
inline void addInputMethodFormRows() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("codePage");
    QTest::newRow("wave dash") << QStringLiteral("\u301C") << QStringLiteral("\uFF5E");
    QTest::newRow("minus sign") << QStringLiteral("\u2212") << QStringLiteral("\uFF0D");
    QTest::newRow("double vertical line") << QStringLiteral("\u2016") << QStringLiteral("\u2225");
    QTest::newRow("cent sign") << QStringLiteral("\u00A2") << QStringLiteral("\uFFE0");
    QTest::newRow("pound sign") << QStringLiteral("\u00A3") << QStringLiteral("\uFFE1");
    QTest::newRow("not sign") << QStringLiteral("\u00AC") << QStringLiteral("\uFFE2");
    QTest::newRow("em dash") << QStringLiteral("\u2014") << QStringLiteral("\u2015");
}
