// SPSS, Stata and SAS data sets read with ReadStat, case by case.
#include "import/ReadStatSource.h"

#include <readstat.h>

#include <charconv>
#include <cmath>
#include <map>

namespace qavn {

namespace {

struct ParserDeleter {
    void operator()(readstat_parser_t* p) const { readstat_parser_free(p); }
};
using Parser = std::unique_ptr<readstat_parser_t, ParserDeleter>;

// A float stands for the shortest decimal that reads back as it (0.1f is
// 0.1, not 0.100000001490116). Kept out of line: doubles are the common case.
[[gnu::noinline]] double floatValue(float f)
{
    char buffer[32];
    const auto written = std::to_chars(buffer, buffer + sizeof buffer, f);
    double number = 0;
    if (std::from_chars(buffer, written.ptr, number).ec != std::errc())
        number = static_cast<double>(f);
    return number;
}

// A value as the source delivers it. A text is a view of ReadStat's bytes,
// valid while its handler runs. The value's fields are read as the
// library's accessors read them, without a call each: this runs for every
// value of the file.
SourceValue toValue(const readstat_value_t& value)
{
    SourceValue v;
    if (value.is_system_missing)
        return v;
    if (value.is_tagged_missing) {
        v.kind = SourceValue::Kind::TaggedMissing;
        v.tag = value.tag;
        return v;
    }
    switch (value.type) {
    case READSTAT_TYPE_STRING:
        v.kind = SourceValue::Kind::Text;
        if (value.v.string_value != nullptr)
            v.text = value.v.string_value;
        return v;
    case READSTAT_TYPE_STRING_REF: // no text of its own, as the library's accessor says
        v.kind = SourceValue::Kind::Text;
        return v;
    case READSTAT_TYPE_INT8: v.number = value.v.i8_value; break;
    case READSTAT_TYPE_INT16: v.number = value.v.i16_value; break;
    case READSTAT_TYPE_INT32: v.number = value.v.i32_value; break;
    case READSTAT_TYPE_FLOAT: v.number = floatValue(value.v.float_value); break;
    case READSTAT_TYPE_DOUBLE: v.number = value.v.double_value; break;
    }
    if (!std::isfinite(v.number))
        return SourceValue{};
    v.kind = SourceValue::Kind::Number;
    return v;
}

// The same, its text copied into `storage` (for values kept beyond the handler).
SourceValue toValue(const readstat_value_t& value, std::string& storage)
{
    SourceValue v = toValue(value);
    if (v.kind == SourceValue::Kind::Text) {
        storage = v.text;
        v.text = storage;
    }
    return v;
}

class ReadStatSource final : public SourceReader {
public:
    ReadStatSource(ReadStatKind kind, std::filesystem::path path, std::filesystem::path catalogue)
        : kind_(kind), path_(std::move(path)), catalogue_(std::move(catalogue))
    {
    }

    const std::filesystem::path& path() const override { return path_; }
    std::vector<std::filesystem::path> files() const override
    {
        if (catalogue_.empty())
            return {path_};
        return {path_, catalogue_};
    }
    double fraction() const override { return progress_; }
    std::string title() const override { return title_; }
    std::string encoding() const override { return encoding_; }

    bool pass(SourceVisitor& visitor, std::string& error) override
    {
        // A Stata file keeps its value labels after the data: they are read
        // once beforehand (without the data), so that they come with the
        // variables.
        if (kind_ == ReadStatKind::Dta && !labelsRead_) {
            State labels;
            Parser parser(readstat_parser_init());
            setLabelHandlers(parser.get());
            const readstat_error_t rc = readstat_parse_dta(parser.get(), path_.c_str(), &labels);
            if (rc != READSTAT_OK) {
                error = path_.string() + ": " + describe(rc, labels);
                return false;
            }
            labels_ = std::move(labels.labelSets);
            labelsRead_ = true;
        }
        State state;
        state.visitor = &visitor;
        state.labelSets = labels_;
        state.labelsKnown = labelsRead_;
        Parser parser(readstat_parser_init());
        setLabelHandlers(parser.get());
        progress_ = 0;
        readstat_set_progress_handler(parser.get(), [](double progress, void* ctx) -> int {
            *static_cast<State*>(ctx)->progress = progress;
            return READSTAT_HANDLER_OK;
        });
        state.progress = &progress_;
        state.kept = &variables_;
        state.family = kind_ == ReadStatKind::Dta ? FormatFamily::Stata
                       : kind_ == ReadStatKind::Sav ? FormatFamily::Spss
                                                                 : FormatFamily::Sas;
        readstat_set_metadata_handler(parser.get(), [](readstat_metadata_t* metadata, void* ctx) -> int {
            auto* s = static_cast<State*>(ctx);
            const char* label = readstat_get_file_label(metadata);
            const char* encoding = readstat_get_file_encoding(metadata);
            s->title = label != nullptr ? label : "";
            s->encoding = encoding != nullptr ? encoding : "";
            // Stata files from format 118 on are UTF-8 by definition.
            if (s->encoding.empty() && s->family == FormatFamily::Stata &&
                readstat_get_file_format_version(metadata) >= 118)
                s->encoding = "UTF-8";
            return READSTAT_HANDLER_OK;
        });

        if (kind_ == ReadStatKind::Sas7bdat && !catalogue_.empty()) {
            const readstat_error_t rc = readstat_parse_sas7bcat(parser.get(), catalogue_.c_str(), &state);
            if (rc != READSTAT_OK) {
                error = catalogue_.string() + ": " + describe(rc, state);
                return false;
            }
        }

        readstat_set_variable_handler(parser.get(), [](int index, readstat_variable_t* variable, const char* set,
                                                       void* ctx) -> int {
            auto* s = static_cast<State*>(ctx);
            SourceVariable v;
            v.name = readstat_variable_get_name(variable) ? readstat_variable_get_name(variable) : "";
            v.label = readstat_variable_get_label(variable) ? readstat_variable_get_label(variable) : "";
            v.format = readstat_variable_get_format(variable) ? readstat_variable_get_format(variable) : "";
            v.isText = readstat_variable_get_type_class(variable) == READSTAT_TYPE_CLASS_STRING;
            v.display = displayFormatOf(v.format, s->family, v.isText);
            v.storageWidth = v.isText ? readstat_variable_get_storage_width(variable) : 0;
            for (int i = 0; i < readstat_variable_get_missing_ranges_count(variable); ++i) {
                std::string lo;
                std::string hi;
                const SourceValue low = toValue(readstat_variable_get_missing_range_lo(variable, i), lo);
                const SourceValue high = toValue(readstat_variable_get_missing_range_hi(variable, i), hi);
                SourceMissing m;
                if (low.kind == SourceValue::Kind::Text) {
                    m.isText = true;
                    m.text = lo;
                } else if (low.kind == SourceValue::Kind::Number && high.kind == SourceValue::Kind::Number) {
                    m.low = low.number;
                    m.high = high.number;
                } else {
                    continue;
                }
                v.missing.push_back(std::move(m));
            }
            if (set != nullptr)
                s->setOf.emplace(index, set);
            if (static_cast<std::size_t>(index) != s->variables.size())
                return READSTAT_HANDLER_ABORT;
            s->variables.push_back(std::move(v));
            return READSTAT_HANDLER_OK;
        });
        readstat_set_value_handler(parser.get(), [](int obs, readstat_variable_t* variable, readstat_value_t value,
                                                    void* ctx) -> int {
            auto* s = static_cast<State*>(ctx);
            if (!s->started && !s->start())
                return READSTAT_HANDLER_ABORT;
            const auto index = static_cast<std::size_t>(readstat_variable_get_index(variable));
            s->currentCase = static_cast<std::uint64_t>(obs) + 1;
            const SourceValue v = toValue(value);
            if (!s->visitor->value(index, v)) {
                s->stopped = true;
                return READSTAT_HANDLER_ABORT;
            }
            if (index + 1 == s->count && !s->visitor->endCase()) {
                s->stopped = true;
                return READSTAT_HANDLER_ABORT;
            }
            return READSTAT_HANDLER_OK;
        });

        readstat_error_t rc = READSTAT_OK;
        switch (kind_) {
        case ReadStatKind::Sav: rc = readstat_parse_sav(parser.get(), path_.c_str(), &state); break;
        case ReadStatKind::Dta: rc = readstat_parse_dta(parser.get(), path_.c_str(), &state); break;
        case ReadStatKind::Sas7bdat: rc = readstat_parse_sas7bdat(parser.get(), path_.c_str(), &state); break;
        case ReadStatKind::Xport: rc = readstat_parse_xport(parser.get(), path_.c_str(), &state); break;
        }
        if (state.stopped)
            return false;
        if (rc != READSTAT_OK) {
            error = path_.string() + ": " + describe(rc, state);
            return false;
        }
        title_ = state.title;
        encoding_ = state.encoding;
        // A data set without cases still has its variables.
        if (!state.started && !state.start()) {
            return false;
        }
        return true;
    }

private:
    struct State;

    // The encoding, error and value-label handlers every parse sets.
    static void setLabelHandlers(readstat_parser_t* parser)
    {
        readstat_set_handler_character_encoding(parser, "UTF-8");
        readstat_set_error_handler(parser, [](const char* message, void* ctx) {
            auto* s = static_cast<State*>(ctx);
            if (s->readerMessage.empty() && message != nullptr)
                s->readerMessage = message;
        });
        readstat_set_value_label_handler(parser, [](const char* set, readstat_value_t value, const char* label,
                                                    void* ctx) -> int {
            auto* s = static_cast<State*>(ctx);
            if (s->labelsKnown)
                return READSTAT_HANDLER_OK;
            SourceValueLabel l;
            l.label = label != nullptr ? label : "";
            if (readstat_value_is_tagged_missing(value)) {
                l.tag = readstat_value_tag(value);
            } else {
                std::string storage;
                const SourceValue v = toValue(value, storage);
                if (v.kind == SourceValue::Kind::Text) {
                    l.isText = true;
                    l.text = storage;
                } else if (v.kind == SourceValue::Kind::Number) {
                    l.number = v.number;
                } else {
                    return READSTAT_HANDLER_OK;
                }
            }
            s->labelSets[set != nullptr ? set : ""].push_back(std::move(l));
            return READSTAT_HANDLER_OK;
        });
    }

    struct State {
        SourceVisitor* visitor = nullptr;
        std::vector<SourceVariable> variables;
        std::map<int, std::string> setOf;
        std::map<std::string, std::vector<SourceValueLabel>> labelSets;
        std::string readerMessage;
        std::uint64_t currentCase = 0;
        bool started = false;
        bool stopped = false;
        bool labelsKnown = false; // labelSets were read beforehand
        double* progress = nullptr;
        std::vector<SourceVariable>* kept = nullptr; // the reader's, kept from the first pass on
        std::size_t count = 0;                       // variables delivered
        FormatFamily family = FormatFamily::Spss;
        std::string title;
        std::string encoding;

        // Value labels arrive after the variables in some formats; both are
        // complete when the first value comes.
        bool start()
        {
            started = true;
            for (const auto& [index, set] : setOf) {
                const auto found = labelSets.find(set);
                if (found != labelSets.end() && static_cast<std::size_t>(index) < variables.size())
                    variables[static_cast<std::size_t>(index)].labels = found->second;
            }
            // Later passes hand on the first pass's variables (a visitor may
            // keep pointers into them), unless the file has changed since.
            const bool first = kept->empty();
            if (first)
                *kept = std::move(variables);
            const std::vector<SourceVariable>& delivered =
                first || kept->size() == variables.size() ? *kept : variables;
            count = delivered.size();
            if (!visitor->variables(delivered)) {
                stopped = true;
                return false;
            }
            return true;
        }
    };

    static std::string describe(readstat_error_t rc, const State& state)
    {
        std::string where = state.currentCase == 0 ? "in the file's header"
                                                   : "at case " + std::to_string(state.currentCase);
        std::string text = readstat_error_message(rc);
        if (!state.readerMessage.empty()) {
            std::string message = state.readerMessage;
            while (!message.empty() && (message.back() == '\n' || message.back() == ' '))
                message.pop_back();
            text += " (" + message + ")";
        }
        return where + ": " + text;
    }

    ReadStatKind kind_;
    std::filesystem::path path_;
    std::filesystem::path catalogue_;
    std::map<std::string, std::vector<SourceValueLabel>> labels_;
    bool labelsRead_ = false;
    double progress_ = 0;
    std::vector<SourceVariable> variables_;
    std::string title_;
    std::string encoding_;
};

} // namespace

std::unique_ptr<SourceReader> openReadStatSource(ReadStatKind kind, const std::filesystem::path& path,
                                                 const std::filesystem::path& catalogue)
{
    return std::make_unique<ReadStatSource>(kind, path, catalogue);
}

} // namespace qavn
