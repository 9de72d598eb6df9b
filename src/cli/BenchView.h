// SPDX-License-Identifier: MIT
// What a command that updates several receivers shows while they run: on a terminal one live
// line per port (port, file, percent, rate, state), redrawn together; piped, each run's plain
// lines with the port in front ("COM3: ...").
#pragma once

#include "RunEstimate.h"
#include "RunObserver.h"
#include "TextSink.h"

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// Hands whole lines on with a prefix; frames (a redrawn line) are dropped.
class PrefixedSink : public TextSink {
public:
    PrefixedSink(TextSink& out, std::string prefix);
    void Text(std::string text) override;
    void Frame(std::string /*text*/) override {}

private:
    TextSink& Out;
    const std::string Prefix;
    std::mutex Lock;
    std::string Partial;
};

class BenchBoard {
public:
    using Clock = std::function<double()>;

    BenchBoard(TextSink& out, std::vector<std::string> ports, Clock now = {});
    ~BenchBoard();
    BenchBoard(const BenchBoard&) = delete;
    BenchBoard& operator=(const BenchBoard&) = delete;

    // The observer that feeds the line of port `index`.
    RunObserver& Port(size_t index);
    // Sets the state column of a port ("waiting for the device", "Update OK", ...).
    void SetState(size_t index, const std::string& state);
    // The port's run is over and it waits (the next receiver, a retry): no file, this state.
    void SetIdle(size_t index, const std::string& state);
    // Draws the lines once more, never dropped (the last picture before the summary).
    void Finish();

private:
    struct Row;
    class RowObserver;
    void Redraw(bool keep);  // called with Lock held
    std::string RowText(const Row& row) const;

    TextSink& Out;
    const Clock Now;
    std::mutex Lock;
    std::vector<std::unique_ptr<Row>> Rows;
    std::vector<std::unique_ptr<RowObserver>> Observers;
    size_t PortWidth = 0;
    double LastFrame = -1;
    bool Drawn = false;
};
