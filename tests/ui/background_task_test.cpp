#include <QSignalSpy>
#include <QThread>
#include <QTimer>
#include <QtTest>
#include <atomic>
#include <memory>
#include <stdexcept>
#include <vector>

#include "ui/common/background_task.h"

using tavrin::ui::BackgroundTask;
using tavrin::ui::TaskControl;

namespace {

bool onUiThread() { return QThread::currentThread() == QCoreApplication::instance()->thread(); }

// Spins on the task's thread until the flag is set (or the task is cancelled).
void waitFor(const std::atomic<bool>& flag, TaskControl& control) {
  while (!flag && !control.cancelled()) QThread::yieldCurrentThread();
}

}  // namespace

class BackgroundTaskTest : public QObject {
  Q_OBJECT
 private slots:
  void resultAndReportsArriveOnTheUiThreadInOrder();
  void exceptionIsDelivered();
  void cancelStopsTheWork();
  void destroyingARunningTaskJoinsItAndDeliversNothing();
  void runAndWaitKeepsTheUiResponding();
};

void BackgroundTaskTest::resultAndReportsArriveOnTheUiThreadInOrder() {
  BackgroundTask task;
  QSignalSpy progressed(&task, &BackgroundTask::progressed);
  QSignalSpy finished(&task, &BackgroundTask::finished);
  std::vector<int> posted;
  bool postsOnUiThread = true;
  bool resultOnUiThread = false, runningInCallback = true;
  int result = 0, results = 0;
  std::atomic<bool> workOnUiThread{true};
  constexpr int kReports = 200;

  QVERIFY(task.start(
      [&](TaskControl& c) {
        workOnUiThread = onUiThread();
        for (int i = 1; i <= kReports; ++i) {
          c.progress(static_cast<std::size_t>(i), kReports, QStringLiteral("step %1").arg(i));
          if (i % 50 == 0)
            c.post([&, i] {
              postsOnUiThread = postsOnUiThread && onUiThread();
              posted.push_back(i);
            });
        }
        return 42;
      },
      [&](int value) {
        resultOnUiThread = onUiThread();
        runningInCallback = task.running();
        result = value;
        ++results;
      },
      [](std::exception_ptr) { QFAIL("no exception was thrown"); }));
  QVERIFY(task.running());
  // A second run is refused until the first one has been delivered.
  QVERIFY(!task.start([](TaskControl&) {}, [] {}, {}));
  QVERIFY(task.wait());

  QVERIFY(!workOnUiThread);
  QVERIFY(resultOnUiThread);
  QVERIFY(!runningInCallback);
  QCOMPARE(result, 42);
  QCOMPARE(results, 1);
  QCOMPARE(int(finished.count()), 1);
  QCOMPARE(posted, (std::vector<int>{50, 100, 150, 200}));
  QVERIFY(postsOnUiThread);
  // Reports are merged, never lost at the end: the last one arrives.
  QVERIFY(progressed.count() >= 1 && progressed.count() <= kReports);
  const QList<QVariant> last = progressed.last();
  QCOMPARE(last[0].toLongLong(), qint64(kReports));
  QCOMPARE(last[1].toLongLong(), qint64(kReports));
  QCOMPARE(last[2].toString(), QStringLiteral("step 200"));
  QVERIFY(!task.running());

  // The object runs another piece of work, also one started from a result.
  bool second = false;
  QVERIFY(task.start([](TaskControl&) {},
                     [&] { second = task.start([](TaskControl&) { return 7; }, [&](int v) { result = v; }, {}); }, {}));
  QTRY_COMPARE(result, 7);
  QVERIFY(second);
  QVERIFY(!task.running());
}

void BackgroundTaskTest::exceptionIsDelivered() {
  BackgroundTask task;
  QSignalSpy finished(&task, &BackgroundTask::finished);
  bool gotResult = false, errorOnUiThread = false;
  std::string what;
  task.start([](TaskControl&) -> int { throw std::runtime_error("no such file"); }, [&](int) { gotResult = true; },
             [&](std::exception_ptr e) {
               errorOnUiThread = onUiThread();
               what = BackgroundTask::message(e);
               try {
                 std::rethrow_exception(e);
               } catch (const std::runtime_error&) {
               } catch (...) {
                 what = "wrong type";
               }
             });
  QVERIFY(task.wait());
  QVERIFY(!gotResult);
  QVERIFY(errorOnUiThread);
  QCOMPARE(what, std::string("no such file"));
  QCOMPARE(int(finished.count()), 1);

  // Something thrown that is not a std::exception, and a callback that throws
  // itself: both end as a delivered run.
  task.start([](TaskControl&) { throw 5; }, [] {},
             [&](std::exception_ptr e) {
               what = BackgroundTask::message(e);
               throw std::logic_error("in the callback");
             });
  QVERIFY(task.wait());
  QCOMPARE(what, std::string("unknown exception"));
  QCOMPARE(int(finished.count()), 2);
  QVERIFY(!task.running());
  QCOMPARE(BackgroundTask::message(nullptr), std::string());
}

void BackgroundTaskTest::cancelStopsTheWork() {
  BackgroundTask task;
  std::atomic<bool> started{false}, never{false};
  bool sawCancel = false, cancelledInCallback = false;
  QVERIFY(!task.cancelRequested());
  task.start(
      [&](TaskControl& c) {
        started = true;
        waitFor(never, c);
        return c.cancelled();
      },
      [&](bool cancelled) {
        sawCancel = cancelled;
        cancelledInCallback = task.cancelRequested();
      },
      {});
  QTRY_VERIFY(started.load());
  QVERIFY(!task.cancelRequested());
  // A wait that runs out leaves the task running.
  QVERIFY(!task.wait(0));
  QVERIFY(task.running());
  task.cancel();
  QVERIFY(task.cancelRequested());
  QVERIFY(task.wait());
  QVERIFY(sawCancel);
  QVERIFY(cancelledInCallback);

  // The next run starts without the request.
  bool cancelledNext = true;
  task.start([](TaskControl& c) { return c.cancelled(); }, [&](bool c) { cancelledNext = c; }, {});
  QVERIFY(task.wait());
  QVERIFY(!cancelledNext);
  QVERIFY(!task.cancelRequested());
}

void BackgroundTaskTest::destroyingARunningTaskJoinsItAndDeliversNothing() {
  auto task = std::make_unique<BackgroundTask>();
  std::atomic<bool> started{false}, never{false};
  auto ended = std::make_shared<std::atomic<bool>>(false);
  bool delivered = false;
  int reports = 0;
  QObject::connect(task.get(), &BackgroundTask::progressed, [&] { ++reports; });
  task->start(
      [&, ended](TaskControl& c) {
        c.post([&] { ++reports; });
        started = true;
        waitFor(never, c);
        c.progress(1, 1);
        c.post([&] { ++reports; });
        *ended = true;
      },
      [&] { delivered = true; }, [&](std::exception_ptr) { delivered = true; });
  QTRY_VERIFY(started.load());
  const int before = reports;  // the first post may have arrived meanwhile
  task.reset();                // cancels the work and joins its thread
  QVERIFY(ended->load());
  QCoreApplication::sendPostedEvents();
  QCoreApplication::processEvents();
  QVERIFY(!delivered);
  QCOMPARE(reports, before);

  // Destroyed from inside its own result callback.
  auto owned = std::make_unique<BackgroundTask>();
  bool called = false;
  owned->start([](TaskControl&) {},
               [&] {
                 called = true;
                 owned.reset();
               },
               {});
  QTRY_VERIFY(called);
  QVERIFY(!owned);
}

void BackgroundTaskTest::runAndWaitKeepsTheUiResponding() {
  BackgroundTask task;
  std::atomic<bool> uiTurned{false};
  bool timerFired = false;
  // The work ends only once the UI thread has handled a timer meanwhile.
  QTimer::singleShot(0, [&] {
    timerFired = true;
    uiTurned = true;
  });
  int result = 0;
  QVERIFY(task.runAndWait(
      [&](TaskControl& c) {
        waitFor(uiTurned, c);
        return 3;
      },
      [&](int v) { result = v; }, {}));
  // Delivered before runAndWait returned.
  QCOMPARE(result, 3);
  QVERIFY(timerFired);
  QVERIFY(!task.running());
  QVERIFY(task.wait());  // nothing running: at once
}

QTEST_MAIN(BackgroundTaskTest)
#include "background_task_test.moc"
