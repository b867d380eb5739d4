// The PDF and SVG files the diagram drawing makes, checked with the system's PDF tools and an XML
// reader, and printing, which must give the same pages.
#include <gtest/gtest.h>

#include <cmath>

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QXmlStreamReader>
#include <random>

#include "EditorFixture.h"
#include "TestUtil.h"
#include "config/NoteText.h"
#include "export/DiagramDrawing.h"
#include "logic/Expression.h"
#include "support/SampleConfigs.h"
#include "system/CdfFile.h"

namespace zez {
namespace {

QString Tool(const char* name) {
    return QStandardPaths::findExecutable(QString::fromLatin1(name));
}

QString Output(const QString& tool, const QStringList& args) {
    QProcess p;
    p.start(tool, args);
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

std::vector<Config> Configurations() {
    std::vector<Config> configs;
    for (const char* name : {"stairwell.CDF", "corridor.CDF", "interlock.CDF"})
        configs.push_back(LoadFromFile(std::string(ZEZ_EXAMPLES_DIR) + "/" + name).value().config);
    std::mt19937 rng(31);
    for (int i = 0; i < 3; ++i) {
        Config c = samples::Typical(rng);
        for (int o = 0; o < kOutputs; ++o)
            if (rng() % 3 == 0) c.SegType[o].fill(0);  // some outputs empty
        if (i != 1) {
            const std::string note = "Commissioned by Ana\r\nline two " + std::to_string(i);
            std::copy(note.begin(), note.end(), c.NoteData.begin());
        }
        configs.push_back(c);
    }
    return configs;
}

TEST(Export, PdfHasAPagePerDiagramAndTheNoteWithTitlesLabelsAndWords) {
    const QString pdftotext = Tool("pdftotext"), pdfinfo = Tool("pdfinfo");
    if (pdftotext.isEmpty() || pdfinfo.isEmpty()) GTEST_SKIP() << "poppler-utils not installed";
    test::TempDir dir;
    int n = 0;
    for (const Config& c : Configurations()) {
        SCOPED_TRACE(n);
        const QString pdf = QString::fromStdString(dir.File("c" + std::to_string(n++) + ".pdf"));
        const auto pages = ExportPdf({c, QStringLiteral("site.CDF"), QStringLiteral("2026-12-07")},
                                     pdf, QPageSize::A4);
        ASSERT_TRUE(pages) << pages.error();
        EXPECT_TRUE(Output(pdfinfo, {pdf})
                        .contains(QStringLiteral("Pages:           %1").arg(pages.value())));
        const QString text = Output(pdftotext, {pdf, QStringLiteral("-")});
        const bool note = c.NoteData[0] != 0;
        int diagrams = 0;
        for (int o = 0; o < kOutputs; ++o) {
            diagrams += OutputHasDiagram(c, o);
            EXPECT_EQ(text.contains(QStringLiteral("LC Input %1\n").arg(o + 1)),
                      OutputHasDiagram(c, o))
                << o;
            for (int s = 0; s < kSegments && OutputHasDiagram(c, o); ++s) {
                if (!IsContact(c.SegType[o][s])) continue;
                EXPECT_TRUE(text.contains(QString::fromStdString(InputLabel(c.SegInput[o][s]))));
            }
        }
        EXPECT_EQ(pages.value(), diagrams + (note ? 1 : 0));
        if (note) {
            // Every word of the note's first line.
            const QString first = QString::fromStdU32String(NoteEdit(c.NoteData).Text())
                                      .section(QLatin1Char('\n'), 0, 0);
            for (const QString& word : first.split(QLatin1Char(' '), Qt::SkipEmptyParts))
                EXPECT_TRUE(text.contains(word)) << word.toStdString();
        }
        EXPECT_TRUE(text.contains(QStringLiteral("site.CDF")));
    }
}

// An SVG file of one diagram with its labels; what cannot be written is reported.
TEST(Export, SvgHasTheLabelsAndAFileThatCannotBeWrittenIsReported) {
    test::TempDir dir;
    const QString path = QString::fromStdString(dir.File("c.svg"));
    ASSERT_TRUE(ExportSvg({Configurations()[1], QStringLiteral("corridor.CDF"), {}}, 0, path));
    const auto svg = test::ReadBytes(dir.File("c.svg"));
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(svg.data()), svg.size());
    for (const char* part : {"<svg", "LC Input 1", ">I 3<", ">P 2<"})
        EXPECT_TRUE(text.contains(QLatin1String(part))) << part;
    const auto r =
        ExportPdf({Config{}, QString(), QString()}, QStringLiteral("/dev/null"), QPageSize::A4);
    ASSERT_FALSE(r);
    EXPECT_NE(r.error().find("device"), std::string::npos) << r.error();
    EXPECT_FALSE(ExportSvg({Config{}, QString(), QString()}, 0,
                           QStringLiteral("/nonexistent-folder/x.svg")));
}

// The words of a PDF with their boxes, in points, as pdftotext -bbox gives them.
std::vector<std::pair<QString, QRectF>> Words(const QString& pdftotext, const QString& pdf,
                                              const QStringList& pages = {}) {
    std::vector<std::pair<QString, QRectF>> words;
    QXmlStreamReader xml(
        Output(pdftotext, pages + QStringList{QStringLiteral("-bbox"), pdf, QStringLiteral("-")}));
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement || xml.name() != u"word") continue;
        const auto at = xml.attributes();
        auto v = [&](const char* name) { return at.value(QLatin1String(name)).toDouble(); };
        const QRectF box(QPointF(v("xMin"), v("yMin")), QPointF(v("xMax"), v("yMax")));
        words.emplace_back(xml.readElementText(), box);
    }
    return words;
}

// Print Preview, Print and Export PDF from the editor: every diagram and the note through the one
// drawing, the printed pages the same as the exported ones at every printer resolution; a folder
// that cannot be written is reported and nothing else changes. Then Export Report.
TEST(PrintFlow, PrintedPagesAreTheExportedOnesAtEveryResolution) {
    const QString pdftotext = Tool("pdftotext");
    test::TempDir dir;
    auto file = [&](const char* name) { return QString::fromStdString(dir.File(name)); };
    ProgramState state;
    test::ScriptedDialogs dialogs;
    Document doc(state);
    FileFlow(doc, dialogs).OpenNamed(QStringLiteral(ZEZ_EXAMPLES_DIR "/corridor.CDF"));
    PrintFlow printing(doc, dialogs);
    printing.Print(true);  // the preview, cancelled
    dialogs.saveNames = {file("exported.pdf")};
    printing.ExportPdf();
    EXPECT_EQ(dialogs.saveRequests.back().initialName.right(12), "corridor.pdf");
    EXPECT_EQ(dialogs.boxes.back().text, "3 page(s) written to " + file("exported.pdf") + ".");
    // At every resolution, and pages 2 to 3 as a range chosen in the dialog.
    for (const auto& [dpi, from] : {std::pair{72, 1}, {300, 1}, {600, 1}, {1200, 1}, {300, 2}}) {
        dialogs.printTo = file(("printed" + std::to_string(dpi + from) + ".pdf").c_str());
        dialogs.printResolution = dpi;
        dialogs.printPages = QPageRanges();
        if (from == 2) dialogs.printPages.addRange(2, 3);
        printing.Print(false);
        ASSERT_TRUE(QFile::exists(dialogs.printTo));
        if (pdftotext.isEmpty()) continue;
        const auto exported =
            Words(pdftotext, file("exported.pdf"), {QStringLiteral("-f"), QString::number(from)});
        const auto printed = Words(pdftotext, dialogs.printTo);
        ASSERT_EQ(printed.size(), exported.size()) << dpi << " dpi";
        ASSERT_GT(printed.size(), 20u);  // titles, labels, expressions, footers, the note
        for (std::size_t i = 0; i < printed.size(); ++i) {
            const auto& [word, box] = printed[i];
            EXPECT_EQ(word, exported[i].first) << dpi << " dpi";
            for (const auto& [a, b] : {std::pair{box.topLeft(), exported[i].second.topLeft()},
                                       {box.bottomRight(), exported[i].second.bottomRight()}})
                EXPECT_LE(std::max(std::abs(a.x() - b.x()), std::abs(a.y() - b.y())), 1.0)
                    << word.toStdString() << " at " << dpi << " dpi";
        }
    }
    EXPECT_EQ(dialogs.printRequests, (std::vector<bool>{true, false, false, false, false, false}));
    dialogs.saveNames = {file("no/such/folder/x.pdf")};
    printing.ExportPdf();
    EXPECT_EQ(dialogs.boxes.back().icon, Icon::Critical);
    // The report: written, never over a configuration (a PDF neither), and a cancelled dialog
    // writes nothing.
    const auto cdf = test::ReadBytes(ZEZ_EXAMPLES_DIR "/corridor.CDF");
    test::WriteBytes(dir.File("site.CDF"), cdf);
    dialogs.saveNames = {file("r.html"), file("site.CDF")};
    printing.ExportReport();
    EXPECT_EQ(dialogs.saveRequests.back().initialName.right(13), "corridor.html");
    EXPECT_EQ(dialogs.boxes.back().text, "Report written to " + file("r.html") + ".");
    EXPECT_GT(test::ReadBytes(dir.File("r.html")).size(), 1000u);  // what it holds: its own test
    printing.ExportReport();
    EXPECT_TRUE(dialogs.boxes.back().icon == Icon::Critical &&
                dialogs.boxes.back().text.contains("holds a configuration"));
    dialogs.saveNames = {file("site.CDF"), QString()};  // nor a PDF
    printing.ExportPdf();
    EXPECT_TRUE(dialogs.boxes.back().title == "Export PDF" &&
                dialogs.boxes.back().text.contains("holds a configuration"));
    dialogs.printTo = file("site.CDF");  // nor printed to a file
    printing.Print(false);
    EXPECT_TRUE(dialogs.boxes.back().title == "Print" &&
                dialogs.boxes.back().text.contains("holds a configuration"));
    EXPECT_EQ(test::ReadBytes(dir.File("site.CDF")), cdf);
    const auto boxes = dialogs.boxes.size();
    printing.ExportReport();
    EXPECT_TRUE(dialogs.boxes.size() == boxes && !state.ConfigChanged);
}

}  // namespace
}  // namespace zez
