// Writes a small data set with ReadStat's own writer, for the round-trip
// test of qavn-import:
//
//   readstat_write sav|dta|xpt FILE EXPECTED
//
// FILE gets value labels, missing values (user-missing values in .sav,
// extended missing .a/.b in .dta and .xpt), texts and decimals. EXPECTED
// gets the values a reader of the file must see, one case a line, fields
// separated by TABs: numbers with 10 significant digits, "." for system and
// extended missing values, texts as written.

#include <readstat.h>

#include <fcntl.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr double sysmis = NAN;

struct Case {
    double id;
    double age;
    char ageTag; // a tag replaces the value where the format has tagged missing values
    double income;
    const char* name;
    double score;
    double grp;
    char grpTag;
};

const std::vector<Case> cases = {
    {1, 34, 0, 1234.56, "Anne", 1.5, 1, 0},
    {2, 99, 0, -1, "Bob", -2.125, 2, 0},
    {3, sysmis, 0, 0.01, "O'Neil, Jr", 1000, 1, 0},
    {4, 51, 0, 99999.99, "", 0, sysmis, 0},
    {5, 7, 0, sysmis, "Zed", sysmis, 2, 0},
    {6, 99, 'a', 12.5, "none", -0.001, 1, 'a'},
    {7, 0, 0, 3.25, "Bob", 42, 2, 'b'},
    {8, 34, 'b', -1, "Anne", 7.75, 1, 0},
};

ssize_t writeBytes(const void* bytes, size_t length, void* ctx)
{
    return ::write(*static_cast<int*>(ctx), bytes, length);
}

std::string number(double x)
{
    if (std::isnan(x))
        return ".";
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.10g", x);
    return buffer;
}

bool check(readstat_error_t rc, const char* what)
{
    if (rc == READSTAT_OK)
        return true;
    std::fprintf(stderr, "readstat_write: %s: %s\n", what, readstat_error_message(rc));
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: readstat_write sav|dta|xpt FILE EXPECTED\n");
        return 2;
    }
    const std::string kind = argv[1];
    const bool sav = kind == "sav";
    const bool dta = kind == "dta";
    const bool xpt = kind == "xpt";
    if (!sav && !dta && !xpt) {
        std::fprintf(stderr, "readstat_write: unknown kind %s\n", argv[1]);
        return 2;
    }
    const bool tagged = !sav;

    int fd = ::open(argv[2], O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) {
        std::perror(argv[2]);
        return 1;
    }
    readstat_writer_t* writer = readstat_writer_init();
    readstat_set_data_writer(writer, &writeBytes);

    // Stata labels whole numbers only; transport files carry no value labels.
    const readstat_type_t labelType = dta ? READSTAT_TYPE_INT32 : READSTAT_TYPE_DOUBLE;
    readstat_label_set_t* ageLabels = nullptr;
    readstat_label_set_t* grpLabels = nullptr;
    readstat_label_set_t* nameLabels = nullptr;
    if (!xpt) {
        ageLabels = readstat_add_label_set(writer, labelType, "agelbl");
        grpLabels = readstat_add_label_set(writer, labelType, "grplbl");
        if (dta) {
            readstat_label_int32_value(ageLabels, 99, "Refused");
            readstat_label_int32_value(grpLabels, 1, "Yes");
            readstat_label_int32_value(grpLabels, 2, "No");
            readstat_label_tagged_value(grpLabels, 'a', "Not asked");
        } else {
            readstat_label_double_value(ageLabels, 99, "Refused");
            readstat_label_double_value(grpLabels, 1, "Yes");
            readstat_label_double_value(grpLabels, 2, "No");
            nameLabels = readstat_add_label_set(writer, READSTAT_TYPE_STRING, "namelbl");
            readstat_label_string_value(nameLabels, "Bob", "The builder");
        }
    }

    const readstat_type_t whole = dta ? READSTAT_TYPE_INT32 : READSTAT_TYPE_DOUBLE;
    readstat_variable_t* id = readstat_add_variable(writer, "id", READSTAT_TYPE_DOUBLE, 0);
    readstat_variable_t* age = readstat_add_variable(writer, "age", whole, 0);
    readstat_variable_t* income = readstat_add_variable(writer, "income", READSTAT_TYPE_DOUBLE, 0);
    readstat_variable_t* name = readstat_add_variable(writer, "name", READSTAT_TYPE_STRING, 12);
    readstat_variable_t* score = readstat_add_variable(writer, "score", READSTAT_TYPE_DOUBLE, 0);
    readstat_variable_t* grp = readstat_add_variable(writer, "grp", whole, 0);
    readstat_variable_set_label(age, "Age in years");
    readstat_variable_set_label(income, "Yearly income");
    readstat_variable_set_label(grp, "Member of the group");
    if (sav) {
        readstat_variable_set_format(income, "F10.2");
        readstat_variable_set_format(score, "F8.3");
        readstat_variable_add_missing_double_value(age, 99);
        readstat_variable_add_missing_double_value(income, -1);
        readstat_variable_add_missing_string_value(name, "none");
        readstat_variable_set_label_set(name, nameLabels);
    } else if (dta) {
        readstat_variable_set_format(income, "%10.2f");
        readstat_variable_set_format(score, "%8.3f");
    }
    if (ageLabels != nullptr) {
        readstat_variable_set_label_set(age, ageLabels);
        readstat_variable_set_label_set(grp, grpLabels);
    }

    bool ok = true;
    const long rows = static_cast<long>(cases.size());
    if (sav)
        ok = check(readstat_begin_writing_sav(writer, &fd, rows), "begin");
    else if (dta)
        ok = check(readstat_begin_writing_dta(writer, &fd, rows), "begin");
    else
        ok = check(readstat_writer_set_table_name(writer, "ROUNDTR"), "table name") &&
             check(readstat_begin_writing_xport(writer, &fd, rows), "begin");

    std::FILE* expected = std::fopen(argv[3], "w");
    if (expected == nullptr) {
        std::perror(argv[3]);
        return 1;
    }
    auto put = [&](readstat_variable_t* v, double x, char tag) {
        if (tagged && tag != 0) // SAS writes its special missing values in capitals
            return readstat_insert_tagged_missing_value(writer, v, xpt ? static_cast<char>(tag - 'a' + 'A') : tag);
        if (std::isnan(x))
            return readstat_insert_missing_value(writer, v);
        if (dta && (v == age || v == grp))
            return readstat_insert_int32_value(writer, v, static_cast<int32_t>(x));
        return readstat_insert_double_value(writer, v, x);
    };
    for (const Case& c : cases) {
        if (!ok)
            break;
        ok = check(readstat_begin_row(writer), "row") && check(put(id, c.id, 0), "id") &&
             check(put(age, c.age, c.ageTag), "age") && check(put(income, c.income, 0), "income") &&
             check(readstat_insert_string_value(writer, name, c.name), "name") &&
             check(put(score, c.score, 0), "score") && check(put(grp, c.grp, c.grpTag), "grp") &&
             check(readstat_end_row(writer), "end of row");
        std::fprintf(expected, "%s\t%s\t%s\t%s\t%s\t%s\n", number(c.id).c_str(),
                     number(tagged && c.ageTag ? sysmis : c.age).c_str(), number(c.income).c_str(), c.name,
                     number(c.score).c_str(), number(tagged && c.grpTag ? sysmis : c.grp).c_str());
    }
    ok = ok && check(readstat_end_writing(writer), "end");
    readstat_writer_free(writer);
    ok = std::fclose(expected) == 0 && ok;
    ok = ::close(fd) == 0 && ok;
    return ok ? 0 : 1;
}
