#include <QtTest>

class TestProbe : public QObject {
    Q_OBJECT
private slots:
    void placeholder() {}
};

QTEST_GUILESS_MAIN(TestProbe)
#include "tst_probe.moc"
