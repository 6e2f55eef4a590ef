#include "CheckSchedule.h"

#include <QTest>

namespace {

constexpr qint64 kMinute = 60 * 1000;

} // namespace

// When the background checks run: driven by a clock the test moves.
class TestSchedule : public QObject
{
    Q_OBJECT

private slots:
    void dueOneIntervalAfterJoining_data();
    void dueOneIntervalAfterJoining();
    void waitsWhileTheUserHoldsAConnection();
    void severalAccountsInTurn();
    void checkNowKeepsTheOrderAndJoinersKeepTheirTime();
};

void TestSchedule::dueOneIntervalAfterJoining_data()
{
    QTest::addColumn<int>("minutes");
    QTest::addColumn<int>("effective");
    QTest::newRow("every minute") << 1 << 1;
    QTest::newRow("a quarter of an hour") << 15 << 15;
    QTest::newRow("zero is one") << 0 << 1;
    QTest::newRow("negative is one") << -5 << 1;
    QTest::newRow("beyond a day is a day") << 5000 << 1440;
}

void TestSchedule::dueOneIntervalAfterJoining()
{
    QFETCH(int, minutes);
    QFETCH(int, effective);
    CheckSchedule schedule;
    schedule.setInterval(minutes);
    QCOMPARE(schedule.interval(), effective);
    const qint64 start = 1000;
    schedule.setAccounts({3}, start);
    QCOMPARE(schedule.due(start, false), 0);
    QCOMPARE(schedule.untilDue(start), effective * kMinute);
    QCOMPARE(schedule.due(start + effective * kMinute - 1, false), 0);
    QCOMPARE(schedule.due(start + effective * kMinute, false), 3);
    schedule.checked(3, start + effective * kMinute);
    QCOMPARE(schedule.due(start + effective * kMinute + 1, false), 0);
    QCOMPARE(schedule.due(start + 2 * effective * kMinute, false), 3);
}

void TestSchedule::waitsWhileTheUserHoldsAConnection()
{
    CheckSchedule schedule;
    schedule.setInterval(1);
    schedule.setAccounts({1}, 0);
    QCOMPARE(schedule.due(5 * kMinute, true), 0);
    // Nothing is lost by waiting: the account is due as soon as the user lets go.
    QCOMPARE(schedule.due(5 * kMinute + 1, false), 1);

    CheckSchedule none;
    QCOMPARE(none.untilDue(0), qint64(-1));
    QCOMPARE(none.due(kMinute * 1000, false), 0);
}

void TestSchedule::severalAccountsInTurn()
{
    CheckSchedule schedule;
    schedule.setInterval(1);
    schedule.setAccounts({2, 5, 9}, 0);
    qint64 now = 10 * kMinute;
    // All three are due at once; each comes once before any comes again.
    QList<int> order;
    for (int i = 0; i < 6; ++i) {
        const int slot = schedule.due(now, false);
        QVERIFY(slot != 0);
        order << slot;
        schedule.checked(slot, now);
        now += kMinute / 2;
    }
    QCOMPARE(order, (QList<int>{2, 5, 9, 2, 5, 9}));

    // An account that leaves is no longer checked; those staying keep their turn.
    schedule.setAccounts({5, 9}, now);
    now += kMinute;
    QCOMPARE(schedule.due(now, false), 5);
}

void TestSchedule::checkNowKeepsTheOrderAndJoinersKeepTheirTime()
{
    CheckSchedule schedule;
    schedule.setInterval(60);
    schedule.setAccounts({1, 2}, 0);
    schedule.checked(2, 10 * kMinute);
    schedule.checked(1, 20 * kMinute);
    schedule.allDue(21 * kMinute);
    QCOMPARE(schedule.due(21 * kMinute, false), 2);
    schedule.checked(2, 21 * kMinute);
    QCOMPARE(schedule.due(21 * kMinute, false), 1);
    schedule.checked(1, 21 * kMinute);
    QCOMPARE(schedule.due(21 * kMinute, false), 0);

    // Setting the same accounts again, as every change of the settings does,
    // moves nobody's next check.
    schedule.setAccounts({1, 2, 7}, 50 * kMinute);
    QCOMPARE(schedule.untilDue(50 * kMinute), 31 * kMinute);
    QCOMPARE(schedule.due(81 * kMinute, false), 1);
    schedule.checked(1, 81 * kMinute);
    QCOMPARE(schedule.due(81 * kMinute, false), 2);
    schedule.checked(2, 81 * kMinute);
    QCOMPARE(schedule.due(81 * kMinute, false), 0);
    QCOMPARE(schedule.due(110 * kMinute, false), 7);
}

QTEST_GUILESS_MAIN(TestSchedule)
#include "tst_schedule.moc"
