#include "ui/CsvRow.h"

#include <charconv>

namespace ecu {
namespace {

template <class T> void AppendChars(std::string& out, T value) {
    char buf[32];
    const auto result = std::to_chars(buf, buf + sizeof buf, value);
    out.append(buf, result.ptr);
}

class RowWriter {
public:
    RowWriter(std::string& out, CsvFormat format, const DisplayTable& table)
        : out_(out), format_(format), table_(table) {}

    template <class T> void operator()(Field field, const T& value) {
        out_ += ',';
        if (format_ == CsvFormat::Display)
            AppendShown(out_, value, table_[Index(field)].format);
        else
            AppendExact(value);
    }

private:
    void AppendExact(const std::string& text) { out_ += text; }
    template <class T> void AppendExact(T value) { AppendChars(out_, value); }

    std::string& out_;
    CsvFormat format_;
    const DisplayTable& table_;
};

std::string MakeHeader() {
    std::string header = "record,decoded";
    for (const FieldFormat& field : kDisplayTable) {
        header += ',';
        header += field.name;
    }
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
                  CsvFormat format, const DisplayTable& table) {
    AppendChars(out, record);
    out += decoded ? ",1" : ",0";
    ForEachField(data, RowWriter(out, format, table));
    out += '\n';
}

std::string CsvRow(std::uint64_t record, bool decoded, const EngineData& data, CsvFormat format,
                   const DisplayTable& table) {
    std::string s;
    AppendCsvRow(s, record, decoded, data, format, table);
    return s;
}

} // namespace ecu
