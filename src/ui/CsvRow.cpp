#include "ui/CsvRow.h"

#include "ui/TextRules.h"

#include <charconv>
#include <concepts>

namespace ecu {
namespace {

// How the parameters page shows a field.
struct Shown {
    enum Kind { Decimal, Fixed, RunTime, Text } kind;
    int width = 0;
    int decimals = 0;
};

constexpr Shown kDecimal{Shown::Decimal};
constexpr Shown kRunTime{Shown::RunTime};
constexpr Shown kText{Shown::Text};
constexpr Shown Fixed(int width, int decimals) {
    return {Shown::Fixed, width, decimals};
}

// The single list of columns: the header and both row formats walk it, so they cannot
// drift apart.
template <class Visit> void ForEachField(const EngineData& d, Visit&& f) {
    f("PromID", d.PromID, kDecimal);
    f("TemperatureWater", d.TemperatureWater, Fixed(5, 1));
    f("TemperatureWaterRaw", d.TemperatureWaterRaw, kDecimal);
    f("TemperatureAir", d.TemperatureAir, Fixed(5, 1));
    f("TemperatureAirRaw", d.TemperatureAirRaw, kDecimal);
    f("UOZ", d.UOZ, Fixed(2, 0));
    f("UOZRaw", d.UOZRaw, kDecimal);
    f("ThrottleAngle", d.ThrottleAngle, Fixed(3, 0));
    f("ThrottleAngleRaw", d.ThrottleAngleRaw, kDecimal);
    f("ThrottlePosition", d.ThrottlePosition, Fixed(3, 1));
    f("ThrottlePositionRaw", d.ThrottlePositionRaw, kDecimal);
    f("MapV", d.MapV, Fixed(4, 2));
    f("MAPbar", d.MAPbar, Fixed(3, 0));
    f("Baro", d.Baro, Fixed(3, 0));
    f("RPMengine", d.RPMengine, kDecimal);
    f("RPMengineRaw", d.RPMengineRaw, kDecimal);
    f("RPMsec", d.RPMsec, kDecimal);
    f("RPMperiod", d.RPMperiod, Fixed(3, 1));
    f("Speed", d.Speed, kDecimal);
    f("Acc", d.Acc, Fixed(4, 1));
    f("OxygenSensor", d.OxygenSensor, Fixed(3, 0));
    f("ErrorText", d.ErrorText, kText);
    f("ErrorByte1", d.ErrorByte1, kDecimal);
    f("ErrorByte2", d.ErrorByte2, kDecimal);
    f("INJwidth", d.INJwidth, Fixed(4, 1));
    f("AirControlDesired", d.AirControlDesired, kDecimal);
    f("AirControl", d.AirControl, kDecimal);
    f("RPMdesired", d.RPMdesired, Fixed(3, 0));
    f("RPMdesiredIDLE", d.RPMdesiredIDLE, Fixed(3, 0));
    f("Timer", d.Timer, kRunTime);
    f("FuelAirRatio", d.FuelAirRatio, Fixed(5, 2));
}

template <class T> void AppendChars(std::string& out, T value) {
    char buf[32];
    const auto result = std::to_chars(buf, buf + sizeof buf, value);
    out.append(buf, result.ptr);
}

class RowWriter {
public:
    RowWriter(std::string& out, CsvFormat format) : out_(out), format_(format) {}

    void operator()(const char*, const std::string& text, Shown) {
        out_ += ',';
        out_ += text;
    }

    void operator()(const char*, double value, Shown shown) {
        out_ += ',';
        if (format_ == CsvFormat::Display) {
            AppendFixed(out_, value, shown.width, shown.decimals);
        } else {
            AppendChars(out_, value);
        }
    }

    template <std::integral T> void operator()(const char*, T value, Shown shown) {
        out_ += ',';
        if (format_ == CsvFormat::Display && shown.kind == Shown::RunTime) {
            AppendRunTime(out_, static_cast<std::uint16_t>(value));
        } else {
            AppendChars(out_, value);
        }
    }

private:
    std::string& out_;
    CsvFormat format_;
};

std::string MakeHeader() {
    std::string header = "record,decoded";
    ForEachField(EngineData{}, [&header](const char* name, const auto&, Shown) {
        header += ',';
        header += name;
    });
    header += '\n';
    return header;
}

} // namespace

std::optional<CsvFormat> CsvFormatFromName(std::string_view name) {
    if (name == "exact") {
        return CsvFormat::Exact;
    }
    if (name == "display") {
        return CsvFormat::Display;
    }
    return std::nullopt;
}

void AppendCsvHeader(std::string& out) {
    static const std::string header = MakeHeader();
    out += header;
}

std::string CsvHeader() {
    std::string s;
    AppendCsvHeader(s);
    return s;
}

void AppendCsvRow(std::string& out, std::uint64_t record, bool decoded, const EngineData& data,
                  CsvFormat format) {
    AppendChars(out, record);
    out += decoded ? ",1" : ",0";
    ForEachField(data, RowWriter(out, format));
    out += '\n';
}

std::string CsvRow(std::uint64_t record, bool decoded, const EngineData& data, CsvFormat format) {
    std::string s;
    AppendCsvRow(s, record, decoded, data, format);
    return s;
}

} // namespace ecu
