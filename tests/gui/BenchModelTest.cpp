// SPDX-License-Identifier: MIT
// The bench's table model fed by row events: each row's state and cell texts after each event
// and each kind of result, ports that come and go, the include check box, sorting and the
// summary line; and fed by a session's observer from another thread: each kind of session
// result as the row shows it.
#include "BenchRowFeed.h"
#include "BenchTableModel.h"
#include "PortProblem.h"
#include "SystemTexts.h"

#include <QSignalSpy>
#include <QSortFilterProxyModel>
#include <QTest>
#include <functional>
#include <iterator>
#include <optional>
#include <thread>

namespace {

using State = BenchRow::State;
using Col = BenchTableModel::Column;

const QString Dot = QStringLiteral(" \u00B7 ");

BenchPort Present(const std::string& port, const std::string& device = "/dev/ttyUSB0")
{
    return {port, device, "usb-FTDI_FT232R_A1-if00-port0", true};
}

}  // namespace

class BenchModelTest : public QObject {
    Q_OBJECT

private:
    double Clock = 0;

    QString Cell(const BenchTableModel& model, int row, int column,
                 int role = Qt::DisplayRole) const
    {
        return model.data(model.index(row, column), role).toString();
    }

private slots:
    void init() { Clock = 0; }

    void rowTextsAfterEachEvent()
    {
        BenchTableModel model([this] { return Clock; });
        model.SetPorts({Present("COM3")}, {"COM3"});
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        BenchRowEvents& row = model.Row(0);
        const RunFile font{"/fw/font.app", 1000, {}};
        const RunFile decoder{"/fw/decoder.app", 23040, {}};
        const BenchRunEnd refused{BenchOutcome::Error, "File refused", "/fw/COM3/logUpdate.txt",
                                  true};
        const BenchRunEnd ok{BenchOutcome::Ok, "", "/fw/COM3/logUpdate.txt", false};
        const struct {
            const char* Name;
            std::function<void()> Event;
            State After;
            QString File, Percent, Figures, Status, Outcome;
            bool Checkable;
        } steps[] = {
            {"run begins",
             [&] {
                 row.RunBegins({font, decoder}, 1, 3);
             },
             State::Running, "", "", "", "", "", false},
            {"status text, decoded", [&] { row.StatusText(Texts::StatusSendingFile4); },
             State::Running, "", "", "", QString::fromUtf8("Datei wird übertragen...."), "", false},
            {"first file begins", [&] { row.FileBegins(font); }, State::Running, "1 of 2: font.app",
             "0%", "11.5 kB/s" + Dot + "0:12 left", QString::fromUtf8("Datei wird übertragen...."),
             "", false},
            {"first file sent", [&] { Clock = 0.1, row.FileEnds(1000, true); }, State::Running,
             "1 of 2: font.app", "100%", "", QString::fromUtf8("Datei wird übertragen...."), "",
             false},
            {"second file on its way",
             [&] { Clock = 2, row.FileBegins(decoder), Clock = 2.5, row.FileProgress(5760); },
             State::Running, "2 of 2: decoder.app", "25%", "11.5 kB/s" + Dot + "0:09 left",
             QString::fromUtf8("Datei wird übertragen...."), "", false},
            {"refused, tried again",
             [&] {
                 row.FileEnds(23040, true), row.StatusText(Texts::StatusWrong);
                 row.RunEnds(refused);
             },
             State::BetweenAttempts, "2 of 2: decoder.app", "100%", "",
             "wrong: Die Datei wurde abgewiesen.", "Update Error: File refused (attempt 1 of 3)",
             false},
            {"second attempt",
             [&] {
                 row.RunBegins({font, decoder}, 2, 3);
             },
             State::Running, "", "", "", "", "attempt 2 of 3 (earlier: Update Error: File refused)",
             false},
            {"second attempt stored",
             [&] {
                 row.FileBegins(font), row.FileEnds(1000, true);
                 row.StatusText(Texts::StatusSaved), row.RunEnds(ok);
             },
             State::Done, "1 of 2: font.app", "100%", "", "Speichern beendet",
             "Update OK (attempt 2 of 3)", true},
            {"waiting for the next receiver",
             [&] {
                 row.WaitingForNextReceiver({1, 0});
             },
             State::Waiting, "1 of 2: font.app", "100%", "",
             "waiting for the next receiver (1 updated, 0 failed)", "Update OK (attempt 2 of 3)",
             false},
            {"next receiver's port cannot be opened",
             [&] {
                 row.RunBegins({font}, 1, 1);
                 row.RunEnds(
                     {BenchOutcome::NotOpened, "COM3 is held by another program", "", false});
                 row.WaitingForNextReceiver({1, 1});
             },
             State::Waiting, "", "", "", "waiting for the next receiver (1 updated, 1 failed)",
             "not opened: COM3 is held by another program", false},
            {"cancelled while the third one runs",
             [&] {
                 row.RunBegins({font}, 1, 1), row.LogEntry("Loading firmware");
                 row.RunEnds({BenchOutcome::Cancelled, "", "", false});
             },
             State::Done, "", "", "", "", "cancelled", true},
            {"the session ends",
             [&] {
                 row.SessionEnds({1, 2});
             },
             State::Done, "", "", "", "", "cancelled", true},
        };
        for (const auto& step : steps) {
            const int before = int(changed.size());
            step.Event();
            const QByteArray name = step.Name;
            QVERIFY2(changed.size() > before, name);  // the views hear of it
            QVERIFY2(model.RowAt(0).CurrentState() == step.After, name);
            const std::pair<int, QString> cells[] = {{Col::File, step.File},
                                                     {Col::Progress, step.Percent},
                                                     {Col::Figures, step.Figures},
                                                     {Col::Status, step.Status},
                                                     {Col::Outcome, step.Outcome}};
            for (const auto& [column, text] : cells)
                QVERIFY2(Cell(model, 0, column) == text,
                         name + ": " + Cell(model, 0, column).toUtf8());
            QCOMPARE(bool(model.flags(model.index(0, Col::Include)) & Qt::ItemIsUserCheckable),
                     step.Checkable);
            QCOMPARE(model.AnyActive(), model.RowAt(0).Active());
        }
        QCOMPARE(model.LineSummaryText({0}),
                 QStringLiteral("Production line: 3 receivers, 1 updated, 2 failed"));
        // The details of the last run: its outcome, the word that it wrote no log, its entries.
        QVERIFY(model.flags(model.index(0, Col::Details)) & Qt::ItemIsEnabled);
        QCOMPARE(model.RowAt(0).DetailsText(),
                 std::string("COM3: cancelled\nThis run wrote no log.\n\nLoading firmware\n"));
    }

    void outcomesAndTheSummary()
    {
        // One row per kind of end (and one that never ran); the summary counts the last run of
        // each row that is not under way.
        const struct {
            const char* Port;
            std::optional<BenchRunEnd> End;
            QString Outcome;
        } rows[] = {
            {"COM1", BenchRunEnd{BenchOutcome::Ok, "", "/w/COM1/logUpdate.txt", false},
             "Update OK"},
            {"COM2",
             BenchRunEnd{BenchOutcome::Error, "No connection", "/w/COM2/logUpdate.txt", false},
             "Update Error: No connection"},
            {"COM4",
             BenchRunEnd{BenchOutcome::NotOpened, "COM4 is not in the port map.", "", false},
             "not opened: COM4 is not in the port map."},
            {"COM5", BenchRunEnd{BenchOutcome::Ok, "", "/w/COM5/logUpdate.txt", false},
             "Update OK"},
            {"COM6", std::nullopt, ""},
        };
        BenchTableModel model;
        std::vector<BenchPort> ports;
        for (const auto& r : rows)
            ports.push_back(Present(r.Port));
        model.SetPorts(ports);
        QCOMPARE(model.SummaryText(), QString());
        for (int i = 0; i < int(std::size(rows)); ++i) {
            if (rows[i].End) {
                model.Row(i).RunBegins({{"/w/out.app", 10, {}}}, 1, 1);
                model.Row(i).RunEnds(*rows[i].End);
            }
            QCOMPARE(Cell(model, i, Col::Outcome), rows[i].Outcome);
            QCOMPARE(model.RowAt(i).HasDetails(), rows[i].End.has_value());
        }
        QVERIFY(model.RowAt(1).DetailsText().find("\nLog: /w/COM2/logUpdate.txt\n") !=
                std::string::npos);
        QCOMPARE(model.SummaryText(), QStringLiteral("2 OK, 1 Update Error, 1 not opened"));
        model.Row(0).RunBegins({}, 1, 1);
        QCOMPARE(model.SummaryText(), QStringLiteral("1 OK, 1 Update Error, 1 not opened"));
        model.Row(0).RunEnds({BenchOutcome::Cancelled, "", "", false});
        QCOMPARE(model.SummaryText(),
                 QStringLiteral("1 OK, 1 Update Error, 1 not opened, 1 cancelled"));
    }

    void sessionEventsFromAnotherThread()
    {
        // The session's thread tells a run and its result; the row hears all of it, in order,
        // once the user-interface thread runs, and the session's end last.
        const RunFile font{"/fw/font.app", 3000, {}};
        PortProblem gone;
        gone.Description = "COM3 (/dev/ttyUSB0): the device is gone.";
        gone.WhileOpening = false;
        RunResult lost;
        lost.End = RunResult::Outcome::Error;
        lost.Cause = RunCause::LineLost;
        lost.CauseText = "Line lost: the receiver stopped answering.";
        lost.Problem = gone;
        RunResult held = lost;
        held.End = RunResult::Outcome::NotOpened;
        held.CauseText = "COM3 (/dev/ttyUSB0) is held by another program (minicom, pid 4711).";
        held.Problem->WhileOpening = true;
        RunResult stored;
        stored.End = RunResult::Outcome::Ok;
        stored.LogPath = "/fw/COM3/logUpdate.txt";
        stored.Warning = "the port could not be closed";
        RunResult stopped;
        stopped.End = RunResult::Outcome::Cancelled;
        stopped.CauseText = "Cancelled by the user.";
        const std::string lostRemark =
            "Line lost: the receiver stopped answering.\nCOM3 (/dev/ttyUSB0): the device is gone.";
        // Each attempt but the last is followed by a retry; `StoppedInPause`: so is the last.
        const struct {
            const char* Name;
            std::vector<RunResult> Attempts;
            bool StoppedInPause;
            QString Outcome;
            std::string Remark;
        } cases[] = {
            {"line lost", {lost}, false, "Update Error: line lost", lostRemark},
            {"held", {held}, false, "not opened: " + QString::fromStdString(held.CauseText), ""},
            {"stored, a warning", {stored}, false, "Update OK", "the port could not be closed"},
            {"cancelled", {stopped}, false, "cancelled", ""},
            {"stored at the second attempt",
             {lost, stored},
             false,
             "Update OK (attempt 2 of 2)",
             "the port could not be closed"},
            {"a retry stopped in its pause", {lost}, true, "Update Error: line lost", lostRemark},
        };
        for (const auto& c : cases) {
            BenchTableModel model([this] { return Clock; });
            model.SetPorts({Present("COM3")}, {"COM3"});
            bool ended = false;
            BenchRowFeed feed(model.Row(0), [&] {
                ended = true;
                QVERIFY(!model.RowAt(0).Active());  // after the run's end
            });
            std::thread session([&] {
                const int attempts = int(c.Attempts.size()) + (c.StoppedInPause ? 1 : 0);
                for (int attempt = 1; attempt <= int(c.Attempts.size()); ++attempt) {
                    const RunIndex index{1, attempt, attempts, {}, {}};
                    feed.RunBegins({"COM3", "/dev/ttyUSB0", "", {font}, {}, {}, 3}, index);
                    feed.FileBegins(font);
                    for (int64_t written = 10; written <= 3000; written += 10)
                        feed.FileProgress(font, written, 0);
                    feed.StatusText(Texts::StatusFileSent);
                    feed.RunFinished(c.Attempts[size_t(attempt - 1)]);
                    if (attempt < attempts)
                        feed.RetryComing(c.Attempts[size_t(attempt - 1)], index, {});
                }
                feed.SessionEnds(c.Attempts);
            });
            session.join();
            QVERIFY2(model.RowAt(0).CurrentState() == State::Idle, c.Name);  // nothing yet
            QVERIFY2(QTest::qWaitFor([&] { return ended; }, 5000), c.Name);
            QCOMPARE(Cell(model, 0, Col::File), QStringLiteral("1 of 1: font.app"));
            QCOMPARE(Cell(model, 0, Col::Progress), QStringLiteral("100%"));
            QCOMPARE(Cell(model, 0, Col::Outcome), c.Outcome);
            QCOMPARE(model.RowAt(0).LastEnd()->Remark, c.Remark);
            QCOMPARE(model.RowAt(0).LastEnd()->LogPath, c.Attempts.back().LogPath);
        }
    }

    void portsComeAndGo()
    {
        BenchTableModel model;
        const struct {
            std::vector<BenchPort> Listed;
            std::vector<std::string> Include;
            QStringList Rows;  // port, presence, included, device
        } steps[] = {
            {{Present("COM1"), Present("COM3", "/dev/ttyUSB1")},
             {"COM3"},
             {"COM1 present no /dev/ttyUSB0", "COM3 present yes /dev/ttyUSB1"}},
            // COM1 unplugged: its row stays, absent; a new port comes last; a port listed twice
            // gets one row.
            {{Present("COM3", "/dev/ttyUSB1"), Present("COM7", "/dev/ttyACM0"),
              Present("COM7", "/dev/ttyACM0")},
             {"COM7"},
             {"COM1 absent no /dev/ttyUSB0", "COM3 present yes /dev/ttyUSB1",
              "COM7 present yes /dev/ttyACM0"}},
            // Back under another device; the include choice stays the user's.
            {{Present("COM1", "/dev/ttyUSB4"),
              {"COM3", "", "", false},
              Present("COM7", "/dev/ttyACM0")},
             {"COM1"},
             {"COM1 present no /dev/ttyUSB4", "COM3 absent yes ", "COM7 present yes /dev/ttyACM0"}},
        };
        for (const auto& step : steps) {
            model.SetPorts(step.Listed, step.Include);
            QStringList rows;
            for (int r = 0; r < model.rowCount(); ++r)
                rows << QStringLiteral("%1 %2 %3 %4")
                            .arg(Cell(model, r, Col::Port), Cell(model, r, Col::Presence),
                                 model.RowAt(r).Included ? "yes" : "no",
                                 Cell(model, r, Col::Device));
            QCOMPARE(rows, step.Rows);
        }
        // The adapter's identity in the port's and the device's tooltips.
        QCOMPARE(Cell(model, 0, Col::Port, Qt::ToolTipRole),
                 QStringLiteral("/dev/ttyUSB4\nusb-FTDI_FT232R_A1-if00-port0"));
        QCOMPARE(Cell(model, 1, Col::Device, Qt::ToolTipRole), QStringLiteral("no device"));
        QCOMPARE(model.RowOfPort("COM7"), 2);
        QCOMPARE(model.RowOfPort("COM9"), -1);
    }

    void includeCheckBoxAndStartableRows()
    {
        BenchTableModel model;
        model.SetPorts({Present("COM1"), Present("COM2"), {"COM3", "", "", false}},
                       {"COM1", "COM3"});
        QCOMPARE(model.StartableRows(), std::vector<int>{0});  // COM3 is absent
        const QModelIndex second = model.index(1, Col::Include);
        QVERIFY(model.setData(second, Qt::Checked, Qt::CheckStateRole));
        QCOMPARE(model.data(second, Qt::CheckStateRole).value<Qt::CheckState>(), Qt::Checked);
        QCOMPARE(model.StartableRows(), (std::vector<int>{0, 1}));
        // While a row runs its box stays as it is, and it is not started twice.
        model.Row(0).RunBegins({}, 1, 1);
        QVERIFY(!model.setData(model.index(0, Col::Include), Qt::Unchecked, Qt::CheckStateRole));
        QVERIFY(model.RowAt(0).Included);
        QCOMPARE(model.StartableRows(), std::vector<int>{1});
        QVERIFY(!model.setData(model.index(1, Col::Port), "COM9", Qt::EditRole));
        QVERIFY(!(model.flags(model.index(0, Col::Details)) & Qt::ItemIsEnabled));
    }

    void sortsByPortAndByOutcome()
    {
        BenchTableModel model;
        model.SetPorts({Present("COM10"), Present("/dev/ttyUSB3"), Present("COM2"), Present("COM1"),
                        Present("rfc2217://bench:3001"), Present("com3")});
        const std::vector<std::pair<std::string, BenchOutcome>> ends{
            {"COM10", BenchOutcome::Ok},
            {"/dev/ttyUSB3", BenchOutcome::Error},
            {"COM1", BenchOutcome::NotOpened},
            {"com3", BenchOutcome::Error}};
        for (const auto& [port, outcome] : ends) {
            model.Row(model.RowOfPort(port)).RunBegins({}, 1, 1);
            model.Row(model.RowOfPort(port)).RunEnds({outcome, "", "", false});
        }
        model.Row(model.RowOfPort("COM2")).RunBegins({}, 1, 1);  // under way
        QSortFilterProxyModel sorted;
        sorted.setSourceModel(&model);
        sorted.setSortRole(BenchTableModel::SortRole);
        const auto order = [&](int column) {
            sorted.sort(column);
            QStringList ports;
            for (int r = 0; r < sorted.rowCount(); ++r)
                ports << sorted.index(r, Col::Port).data().toString();
            return ports;
        };
        QCOMPARE(order(Col::Port), (QStringList{"COM1", "COM2", "com3", "COM10", "/dev/ttyUSB3",
                                                "rfc2217://bench:3001"}));
        // Failures first (by port), then runs under way, then the good ones, then the rest.
        QCOMPARE(order(Col::Outcome), (QStringList{"com3", "/dev/ttyUSB3", "COM1", "COM2", "COM10",
                                                   "rfc2217://bench:3001"}));
    }
};

QTEST_GUILESS_MAIN(BenchModelTest)
#include "BenchModelTest.moc"
