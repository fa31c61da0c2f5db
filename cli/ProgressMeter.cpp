#include "cli/ProgressMeter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "framework/posix/Machine.h"
#include "store/MailIndexLoader.h"

namespace fs = std::filesystem;

namespace {

// Length of the UTF-8 character at s[i] (1 for a byte that starts none) and
// its code point.
size_t Utf8Char(const std::string& s, size_t i, char32_t& cp)
{
    const unsigned char c = static_cast<unsigned char>(s[i]);
    size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (n == 0 || i + n > s.size()) {
        cp = c;
        return 1;
    }
    cp = n == 1 ? c : c & (0x7F >> n);
    for (size_t k = 1; k < n; ++k) {
        const unsigned char t = static_cast<unsigned char>(s[i + k]);
        if ((t & 0xC0) != 0x80) {
            cp = c;
            return 1;
        }
        cp = (cp << 6) | (t & 0x3F);
    }
    return n;
}

bool IsWide(char32_t cp)
{
    static const char32_t kRanges[][2] = {
        {0x1100, 0x115F}, {0x2E80, 0x303E}, {0x3041, 0x33FF}, {0x3400, 0x4DBF}, {0x4E00, 0x9FFF},
        {0xA000, 0xA4CF}, {0xAC00, 0xD7A3}, {0xF900, 0xFAFF}, {0xFE30, 0xFE4F}, {0xFF00, 0xFF60},
        {0xFFE0, 0xFFE6}, {0x20000, 0x3FFFD},
    };
    for (const auto& r : kRanges) {
        if (cp >= r[0] && cp <= r[1])
            return true;
    }
    return false;
}

// The longest start of text that fits in columns, padded with spaces to
// exactly columns.
std::string FitToWidth(const std::string& text, int columns)
{
    std::string out;
    int width = 0;
    for (size_t i = 0; i < text.size();) {
        char32_t cp = 0;
        const size_t n = Utf8Char(text, i, cp);
        const int w = IsWide(cp) ? 2 : 1;
        if (width + w > columns)
            break;
        out.append(text, i, n);
        width += w;
        i += n;
    }
    return out + std::string(static_cast<size_t>(columns - width), ' ');
}

std::string Duration(double seconds)
{
    long s = std::lround(std::clamp(seconds, 0.0, 359999.0));
    char buf[32];
    if (s >= 3600)
        std::snprintf(buf, sizeof buf, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
    else
        std::snprintf(buf, sizeof buf, "%ld:%02ld", s / 60, s % 60);
    return buf;
}

std::string Padded(const std::string& text, int columns, bool right)
{
    const std::string pad(static_cast<size_t>(std::max(0, columns - DisplayWidth(text))), ' ');
    return right ? pad + text : text + pad;
}

// Feeds the meter from the writers' calls.
class CMeterSink : public CProgressSink {
public:
    explicit CMeterSink(CProgressMeter& meter) : m_meter(meter) {}
    void BeginTray(const CString& tray, const TrayIndex& index) override
    {
        std::vector<std::uint64_t> sizes;
        for (const auto& record : index.records) {
            if (!record->IsRemoved())
                sizes.push_back(record->m_dwEnd > record->m_dwStart ? record->m_dwEnd - record->m_dwStart : 0);
        }
        m_meter.BeginTray(SjisToUtf8(tray.Str()), std::move(sizes));
    }
    void SetProgress(int n) override { m_meter.StartMessage(n); }
    void TrayWritten(const CString& path) override { m_meter.TrayWritten(HostPathFor(path)); }
    bool StopRequested() override { return m_meter.StopRequested(); }

private:
    CProgressMeter& m_meter;
};

}  // namespace

int DisplayWidth(const std::string& utf8)
{
    int width = 0;
    for (size_t i = 0; i < utf8.size();) {
        char32_t cp = 0;
        i += Utf8Char(utf8, i, cp);
        width += IsWide(cp) ? 2 : 1;
    }
    return width;
}

std::string ProgressLine(const std::string& tray, int done, int total, std::uint64_t bytesDone,
                         std::uint64_t bytesTotal, double seconds, bool finished, int columns)
{
    char counts[48];
    const int digits = std::snprintf(nullptr, 0, "%d", total);
    std::snprintf(counts, sizeof counts, "%*d/%d", digits, done, total);

    const bool rateKnown = seconds >= 0.05 && (bytesDone > 0 || finished);
    const double rate = rateKnown ? static_cast<double>(bytesDone) / seconds : 0;
    char rateText[32] = "    -- MB/s";
    if (rateKnown)
        std::snprintf(rateText, sizeof rateText, "%6.1f MB/s", std::min(rate / (1 << 20), 99999.9));
    std::string time;
    if (finished)
        time = "in " + Duration(seconds);
    else if (rateKnown && rate > 0)
        time = Duration(static_cast<double>(bytesTotal - std::min(bytesDone, bytesTotal)) / rate) + " left";
    else
        time = "--:-- left";
    const std::string tail = std::string(counts) + "  " + rateText + "  " + time;

    // Name, bar and tail share the width; the name gives way first.
    const int room = std::max(columns - 1, 0);
    const int tailWidth = static_cast<int>(tail.size());
    int nameWidth = std::clamp(DisplayWidth(tray), 12, 24);
    int barWidth = std::min(30, room - nameWidth - tailWidth - 4);
    if (barWidth < 5) {
        nameWidth = std::clamp(room - tailWidth - 4 - 5, 8, nameWidth);
        barWidth = std::min(30, room - nameWidth - tailWidth - 4);
    }
    std::string line = FitToWidth(tray, nameWidth) + " ";
    if (barWidth >= 5) {
        double fraction = finished ? 1.0 : 0.0;
        if (!finished && bytesTotal > 0)
            fraction = static_cast<double>(std::min(bytesDone, bytesTotal)) / static_cast<double>(bytesTotal);
        else if (!finished && total > 0)
            fraction = static_cast<double>(std::clamp(done, 0, total)) / total;
        const int filled = static_cast<int>(fraction * barWidth);
        line += "[" + std::string(static_cast<size_t>(filled), '#') +
                std::string(static_cast<size_t>(barWidth - filled), '.') + "] ";
    }
    return line + tail;
}

namespace {

// How the table names a written file or folder.
std::string Shown(const std::string& path, const std::string& folder)
{
    if (path.empty())
        return "-";
    std::error_code ec;
    const fs::path p = fs::absolute(path).lexically_normal(), f = fs::absolute(folder).lexically_normal();
    std::string shown = p.string();
    const fs::path relative = p.lexically_relative(f);
    if (!relative.empty() && *relative.begin() != "..")
        shown = relative.string();
    if (fs::is_directory(p, ec))
        shown += "/";
    return shown;
}

}  // namespace

std::string TrayTable(const std::vector<CProgressMeter::Row>& rows, const std::string& folder)
{
    int messages = 0;
    std::uint64_t bytes = 0;
    int trayWidth = DisplayWidth("total");
    for (const auto& row : rows) {
        messages += row.messages;
        bytes += row.bytes;
        trayWidth = std::max(trayWidth, DisplayWidth(row.tray));
    }
    const int countWidth = std::max<int>(8, static_cast<int>(std::to_string(messages).size()));
    const int bytesWidth = std::max<int>(5, static_cast<int>(std::to_string(bytes).size()));
    auto line = [&](const std::string& tray, const std::string& count, const std::string& size,
                    const std::string& written) {
        std::string text = Padded(tray, trayWidth, false) + "  " + Padded(count, countWidth, true) + "  " +
                           Padded(size, bytesWidth, true);
        return (written.empty() ? text : text + "  " + written) + "\n";
    };
    std::string table = line("tray", "messages", "bytes", "written");
    for (const auto& row : rows)
        table += line(row.tray, std::to_string(row.messages), std::to_string(row.bytes), Shown(row.written, folder));
    return table + line("total", std::to_string(messages), std::to_string(bytes), "");
}

CProgressMeter::CProgressMeter(Clock clock, Draw draw, int columns)
    : m_clock(std::move(clock)), m_draw(std::move(draw)), m_columns(columns)
{
}

void CProgressMeter::BeginTray(const std::string& tray, std::vector<std::uint64_t> sizes)
{
    if (m_open)
        EndTray(m_started);
    m_done.assign(1, 0);
    for (std::uint64_t size : sizes)
        m_done.push_back(m_done.back() + size);
    Row row;
    row.tray = tray;
    row.total = static_cast<int>(sizes.size());
    m_rows.push_back(row);
    m_started = 0;
    m_open = true;
    m_trayStart = m_clock();
    Redraw(false);
}

void CProgressMeter::StartMessage(int n)
{
    if (!m_open)
        return;
    Row& row = m_rows.back();
    m_started = std::clamp(n, 0, row.total);
    row.messages = std::max(m_started - 1, 0);
    row.bytes = m_done[static_cast<size_t>(row.messages)];
    if (m_clock() - m_lastDraw >= kRedrawInterval)
        Redraw(false);
}

void CProgressMeter::TrayWritten(const std::string& path)
{
    if (!m_rows.empty())
        m_rows.back().written = path;
}

void CProgressMeter::Finish(bool completed)
{
    if (m_open)
        EndTray(completed ? m_started : std::max(m_started - 1, 0));
}

void CProgressMeter::EndTray(int written)
{
    Row& row = m_rows.back();
    row.messages = std::clamp(written, 0, row.total);
    row.bytes = m_done[static_cast<size_t>(row.messages)];
    Redraw(true);
    m_open = false;
}

void CProgressMeter::Redraw(bool final)
{
    if (!m_draw)
        return;
    m_lastDraw = m_clock();
    const Row& row = m_rows.back();
    m_draw(ProgressLine(row.tray, row.messages, row.total, row.bytes, m_done.back(), m_lastDraw - m_trayStart,
                        final && row.messages == row.total, m_columns),
           final);
}

ProgressFactory CProgressMeter::Factory()
{
    return [this] { return std::make_unique<CMeterSink>(*this); };
}
