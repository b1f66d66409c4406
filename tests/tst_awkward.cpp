#include <QtTest>

class TestAwkward : public QObject {
    Q_OBJECT
private slots:
    void placeholder() {}
};

QTEST_GUILESS_MAIN(TestAwkward)
#include "tst_awkward.moc"
