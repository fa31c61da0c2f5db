// What velmora-convert shows of a conversion: per tray a progress line (tray
// name, bar, messages done / total, MB/s, time left) redrawn in place at most
// ten times a second, and the closing table of trays, messages, bytes and
// the file or folder written for each.
// The meter is fed by the writers' progress calls (Factory); it only
// measures and formats, the caller decides where lines go.
#pragma once

#include <csignal>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "writers/Progress.h"

class CProgressMeter {
public:
    using Clock = std::function<double()>;   // seconds, never going back
    // Draws a progress line: final is true for a tray's last drawing.
    using Draw = std::function<void(const std::string& line, bool final)>;

    // draw null: nothing is drawn, rows are still counted. columns: the
    // terminal's width.
    CProgressMeter(Clock clock, Draw draw, int columns);

    // A tray begins: its name (UTF-8) and the stored size in bytes of each
    // live message, in writing order. Ends the previous tray as written whole.
    void BeginTray(const std::string& tray, std::vector<std::uint64_t> sizes);
    // The writer starts on the n-th live message of the tray (1-based).
    void StartMessage(int n);
    // The tray's output has its final name (a host path, UTF-8).
    void TrayWritten(const std::string& path);
    // The conversion ended. completed: the last tray was written whole, or
    // the run stopped between two messages (else its message in progress
    // does not count as written).
    void Finish(bool completed);

    // The writers stop before their next message once *flag is not zero (a
    // signal handler sets it); null: never.
    void StopOn(const volatile std::sig_atomic_t* flag) { m_stop = flag; }
    bool StopRequested() const { return m_stop && *m_stop != 0; }

    struct Row {
        std::string tray;
        int messages = 0;          // written
        int total = 0;             // live messages of the tray
        std::uint64_t bytes = 0;   // stored size of the messages written
        std::string written;       // its file or folder (host path), "" when none
    };
    // One row per tray begun, in order.
    const std::vector<Row>& Rows() const { return m_rows; }

    // A factory of progress sinks that feed this meter from the trays'
    // indexes; the meter must outlive the conversion.
    ProgressFactory Factory();

private:
    void EndTray(int written);
    void Redraw(bool final);

    Clock m_clock;
    Draw m_draw;
    int m_columns;
    std::vector<Row> m_rows;
    std::vector<std::uint64_t> m_done;   // bytes before message i + 1 (prefix sums)
    int m_started = 0;                   // the message in progress (0: none yet)
    bool m_open = false;                 // a tray is begun and not ended
    double m_trayStart = 0;
    double m_lastDraw = -1;
    const volatile std::sig_atomic_t* m_stop = nullptr;
};

// Minimum time between two drawings of the same tray's line, in seconds.
constexpr double kRedrawInterval = 0.1;

// One progress line at most columns - 1 display columns wide (never less
// than the name and the counts need). done/total messages, bytesDone of
// bytesTotal after seconds; rate and time left are shown once known, and a
// line for a finished tray shows its time instead of the time left.
std::string ProgressLine(const std::string& tray, int done, int total, std::uint64_t bytesDone,
                         std::uint64_t bytesTotal, double seconds, bool finished, int columns);

// The closing table: a heading, one line per row, a total line. A file
// written inside folder is named from there; a folder ends in "/".
std::string TrayTable(const std::vector<CProgressMeter::Row>& rows, const std::string& folder);

// Display columns of a UTF-8 text: East Asian wide and full-width
// characters count two.
int DisplayWidth(const std::string& utf8);
