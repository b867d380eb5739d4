// The text form of a configuration and the comparison of two configurations.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <sstream>

#include "compiler/Compiler.h"
#include "config/CdfBytes.h"
#include "config/ConfigText.h"
#include "config/SegmentEdits.h"
#include "logic/Compare.h"
#include "logic/Formula.h"
#include "logic/Layout.h"
#include "support/SampleConfigs.h"

namespace zez {
namespace {

Config FromBytes(std::mt19937& rng) {
    std::vector<uint8_t> bytes(kCdfBytes);
    for (auto& b : bytes) b = static_cast<uint8_t>(rng());
    return ParseCdf(bytes).value();
}

// Every record comes back byte for byte: random files (values outside the codes, inputs on any
// segment, note bytes after the end), generated diagrams and notes that need every escape; also
// after an editor stripped the blanks at the ends of lines and saved them with CR LF.
TEST(ConfigText, EveryRecordComesBackByteForByte) {
    std::mt19937 rng(27);
    std::vector<Config> configs;
    const char* rounds = std::getenv("ZEZ_TEXT_ROUNDS");  // 1,000 unless told
    for (int i = 0; i < (rounds ? std::atoi(rounds) : 1000); ++i) configs.push_back(FromBytes(rng));
    for (const char* note :
         {"", "a\r\nb\r\n", "\r\n\r\n", "tab\there \\ \x7f\x80\xff end ", "lone\rcr\nlf",
          "#not a comment", "Corridor. \r\nnext \r\n", "a \t\r\n  \r\n\r\nb\t  ", "  "}) {
        Config c = samples::Typical(rng);
        std::copy(note, note + std::strlen(note), c.NoteData.begin());
        configs.push_back(c);
    }
    configs.back().NoteData.fill('z');  // a note without an end
    configs.back().SegInput[3][7] = 9;  // a blank segment that kept its input
    for (const Config& c : configs) {
        const std::string text = ConfigToText(c);
        const auto back = ConfigFromText(text);
        ASSERT_TRUE(back) << back.error() << "\n" << text;
        ASSERT_EQ(SerializeCdf(back.value()), SerializeCdf(c)) << text;
        // The same with the blanks at line ends stripped and CR LF line ends, as an editor on
        // Windows saves it.
        std::istringstream lines(text);
        std::string crlf, line;
        while (std::getline(lines, line))
            crlf += line.erase(line.find_last_not_of(" \t") + 1) + "\r\n";
        const auto fromCrlf = ConfigFromText(crlf);
        ASSERT_TRUE(fromCrlf && SerializeCdf(fromCrlf.value()) == SerializeCdf(c)) << text;
    }
    EXPECT_EQ(ConfigToText(Config{}), "zezudi-config 1\n");  // empty outputs and note omitted
}

TEST(ConfigText, BadTextSaysWhereAndWhatWasExpected) {
    const std::string head = "zezudi-config 1\noutput 2\n";
    std::string rows;
    for (int r = 0; r < 16; ++r)
        rows +=
            "--   --   --   --   --   --   --   --   --   --   --   "
            "--   --   --   --   --\n";
    const std::pair<std::string, std::string> cases[] = {
        {"", "the text is empty"},
        {"zezudi-config 2\n", "line 1, column 1: expected the header \"zezudi-config 1\""},
        {head + "--\n", "line 3, column 3: expected 16 cells in row 1"},
        {head + "-- I9" + rows.substr(7), "line 3, column 4: expected a cell"},
        {head + rows.substr(0, 78), "line 3, column 1: expected 15 more row(s) of output 2"},
        {head + rows + "segment 300 type 4\n", "line 19, column 9: expected a segment number"},
        {head + rows + "segment 3 kind 4\n", "line 19, column 11: expected type or input"},
        {head + rows + "output 2\n", "line 19, column 8: expected each output once"},
        {"zezudi-config 1\noutput 9\n", "line 2, column 8: expected an output number 1..8"},
        {"zezudi-config 1\nwire\n", "line 2, column 1: expected output, segment, note: or"},
        {"zezudi-config 1\nnote: a\\q\n", "line 2, column 8: expected an escape"},
        {"zezudi-config 1\nnote: a\\x00\n", "line 2, column 8: expected no \\x00"},
        {"zezudi-config 1\nnote: ab\nnote-bytes 2 7A\n",
         "line 3, column 12: expected an offset after the note's end (2)"},
        {"zezudi-config 1\noutput 3 = I1&!P5 | I2\n",
         "line 2, column 10: expected 16 rows of cells: drawing an output from a formula is not "
         "available"},
        {head + "#" + rows.substr(2),
         "output 2, segment 0: its cell (#) needs a line \"segment 0 type N\" after the block"},
    };
    for (const auto& [text, error] : cases) {
        const auto r = ConfigFromText(text);
        ASSERT_FALSE(r) << text;
        EXPECT_EQ(r.error().rfind(error, 0), 0u) << r.error();
    }
    // With a drawer, a formula line is drawn; its errors keep the line.
    const auto drawn = ConfigFromText("zezudi-config 1\noutput 3 = I1&!P5 | I2\n", DrawFormula);
    ASSERT_TRUE(drawn) << drawn.error();
    OutputBits bits;
    CompileOutputBits(drawn.value(), 2, bits);
    EXPECT_EQ(bits, ParseFormula("I1&!P5 | I2").value());
    EXPECT_EQ(ConfigFromText("zezudi-config 1\noutput 3 = I1&\n", DrawFormula).error(),
              "line 2, column 15: expected a signal (I1..I8, P1..P8), 0, 1, ! or (");
    // Whatever a drawer says, the reader returns it with the line and never throws.
    // A formula that does not parse is placed by its column, by the error's kind.
    for (const auto& [why, kind] : {std::pair{"column x: odd", ErrorKind::Usage},
                                    {"column 99999999999999999999999: far", ErrorKind::Usage},
                                    {"does not fit", ErrorKind::Data}}) {
        const Error said{why, kind};
        const auto r = ConfigFromText("zezudi-config 1\noutput 3 = I1\n", [&](const std::string&) {
            return Result<OutputSegments>(said);
        });
        EXPECT_EQ(r.error(),
                  std::string("line 2") + (kind == ErrorKind::Usage ? ", " : ": ") + why);
    }
}

// Generated pairs: the same function drawn lower down, one contact on another input, the note.
TEST(Compare, SaysWhetherTheFunctionTheDrawingOrTheNoteDiffers) {
    std::mt19937 rng(11);
    for (int i = 0; i < 20; ++i) {
        const Config a = samples::Typical(rng);
        const int o = static_cast<int>(rng() % kOutputs);
        Config moved = a;
        for (int k = 0; k < kOutputs; ++k) moved.SegType[k].fill(0), moved.SegInput[k].fill(0);
        moved.SegType[o] = a.SegType[o];
        moved.SegInput[o] = a.SegInput[o];
        Config lowered = moved;
        if (!InsertRow(lowered, o, 0)) continue;  // the last row is in use
        const auto same = CompareConfigs(moved, lowered).outputs[static_cast<std::size_t>(o)];
        EXPECT_TRUE(same.segments > 0 && same.words == 0);

        Config other = a;
        int s = 0;
        while (!IsContact(other.SegType[o][s]) && s < kSegments - 1) ++s;
        other.SegInput[o][s] = static_cast<int16_t>((other.SegInput[o][s] + 1) % 16);
        const auto c = CompareConfigs(a, other);
        ControlArray x{}, y{};
        Compile(a, x);
        Compile(other, y);
        int64_t words = 0;
        for (int w = 0; w < kInputWords; ++w) words += ((x[w] ^ y[w]) >> o) & 1;
        EXPECT_TRUE(c.outputs[static_cast<std::size_t>(o)].words == words && !c.Same());
    }
    Config a, b;
    const std::string na = "one\r\ntwo\r\nthree", nb = "one\r\nTWO\r\nthree";
    std::copy(na.begin(), na.end(), a.NoteData.begin());
    std::copy(nb.begin(), nb.end(), b.NoteData.begin());
    const auto text = ComparisonText(CompareConfigs(a, b));
    EXPECT_NE(text.find("LC Input 8: same\nnote differs in line 2\n  A: two\n  B: TWO\n"),
              std::string::npos)
        << text;
    b = a;
    b.NoteData[100] = 1;  // after the note's end
    EXPECT_NE(ComparisonText(CompareConfigs(a, b)).find("only in bytes after its end"),
              std::string::npos);
    EXPECT_TRUE(CompareConfigs(a, a).Same());
}

}  // namespace
}  // namespace zez
