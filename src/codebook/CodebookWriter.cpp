// Writing codebook files from readable variable descriptions (tools and tests).

#include "codebook/CodebookWriter.h"

#include <algorithm>
#include <fstream>

namespace qavn {

std::string categoryLine(std::string_view code, std::string_view frequency, std::string_view percent,
                         std::string_view label)
{
    std::string line;
    line.reserve(code.size() + frequency.size() + percent.size() + label.size() + 3);
    line.append(code).push_back('\xDC');
    line.append(frequency).push_back('\xDC');
    line.append(percent).push_back('\xDC');
    line.append(label);
    return line;
}

std::string percentText(std::uint64_t count, std::uint64_t total, int decimals)
{
    std::uint64_t scale = 1;
    for (int d = 0; d < decimals; ++d)
        scale *= 10;
    const std::uint64_t units = total == 0 ? 0 : (count * 200 * scale + total) / (2 * total);
    std::string text = std::to_string(units / scale);
    if (decimals > 0) {
        std::string fraction = std::to_string(units % scale);
        fraction.insert(0, static_cast<std::size_t>(decimals) - fraction.size(), '0');
        text += "." + fraction;
    }
    return text;
}

void CodebookWriter::appendLine(std::string_view line)
{
    auto& text = files_.text;
    if (fillerEvery_ == 0)
        text.insert(text.end(), line.begin(), line.end());
    for (std::size_t i = 0; fillerEvery_ != 0 && i < line.size(); ++i) {
        if (i != 0 && i % fillerEvery_ == 0)
            text.push_back(textbyte::filler);
        text.push_back(static_cast<std::uint8_t>(line[i]));
    }
    text.push_back(textbyte::lineEnd);
    if (stream_ && text.size() >= (1u << 20))
        flushText();
}

void CodebookWriter::flushText()
{
    auto& text = files_.text;
    if (!streamFailed_ && std::fwrite(text.data(), 1, text.size(), stream_.get()) != text.size())
        streamFailed_ = true;
    streamed_ += text.size();
    text.clear();
}

bool CodebookWriter::streamText(const std::filesystem::path& dir, std::string_view prefix, std::string& error)
{
    streamPath_ = dir / (std::string(prefix) + "02.CDC");
    stream_.reset(std::fopen(streamPath_.c_str(), "wb"));
    if (!stream_) {
        error = "Cannot write " + streamPath_.string();
        return false;
    }
    return true;
}

std::uint32_t CodebookWriter::add(const VariableSpec& spec)
{
    auto here = [&] { return TextRef::fromOffset(static_cast<std::uint32_t>(textSize())); };
    const std::size_t v = descriptionRefs_.size();

    VariableRecord record;
    record.nameLength = static_cast<std::uint8_t>(std::min<std::size_t>(spec.name.size(), 8));
    record.name.fill(' ');
    std::copy_n(spec.name.begin(), record.nameLength, record.name.begin());
    record.fileNumber = spec.fileNumber;
    record.recordNumber = spec.recordNumber;
    record.locationLength = static_cast<std::uint8_t>(std::min<std::size_t>(spec.location.size(), 9));
    record.location.fill(' ');
    std::copy_n(spec.location.begin(), record.locationLength, record.location.begin());
    record.typeCode = spec.typeCode;

    record.labelRef = here();
    appendLine(spec.label);

    if (!haveSection_ || previousSection_ != spec.section) {
        sectionRef_ = here();
        appendLine(spec.section);
        previousSection_ = spec.section;
        haveSection_ = true;
    }
    record.sectionRef = sectionRef_;

    if (spec.sharesDescriptionOf != 0 && spec.sharesDescriptionOf <= v) {
        record.descriptionRef = descriptionRefs_[spec.sharesDescriptionOf - 1];
        record.descriptionLineCount = descriptionCounts_[spec.sharesDescriptionOf - 1];
    } else {
        record.descriptionRef = here();
        record.descriptionLineCount = static_cast<std::uint16_t>(std::min<std::size_t>(spec.description.size(), 65535));
        for (std::size_t i = 0; i < record.descriptionLineCount; ++i)
            appendLine(spec.description[i]);
    }
    descriptionRefs_.push_back(record.descriptionRef);
    descriptionCounts_.push_back(record.descriptionLineCount);

    record.categoryRef = here();
    record.categoryLineCount = static_cast<std::uint16_t>(std::min<std::size_t>(spec.categories.size(), 65535));
    for (std::size_t i = 0; i < record.categoryLineCount; ++i)
        appendLine(spec.categories[i]);

    files_.index.resize(files_.index.size() + VariableRecord::size);
    record.encode(files_.index.data() + v * VariableRecord::size);
    return static_cast<std::uint32_t>(v + 1);
}

bool CodebookWriter::writeFiles(const std::filesystem::path& dir, std::string_view prefix, std::string& error)
{
    auto writeOne = [&](const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) {
            error = "Cannot write " + path.string();
            return false;
        }
        return true;
    };
    const std::string p(prefix);
    if (!stream_)
        return writeOne(dir / (p + "01.CDC"), files_.index) && writeOne(dir / (p + "02.CDC"), files_.text);
    // The text file is complete once the bytes still held are written.
    flushText();
    const bool written = !streamFailed_ && std::fflush(stream_.get()) == 0 && !std::ferror(stream_.get());
    stream_.reset();
    if (!written || streamPath_ != dir / (p + "02.CDC")) {
        error = "Cannot write " + streamPath_.string();
        return false;
    }
    return writeOne(dir / (p + "01.CDC"), files_.index);
}

} // namespace qavn
