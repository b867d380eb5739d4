#include "export/Report.h"

#include <vector>

#include "compiler/Compiler.h"
#include "compiler/TruthTable.h"
#include "config/NoteText.h"
#include "device/Protocol.h"
#include "logic/Checks.h"
#include "logic/Expression.h"
#include "logic/SignalUse.h"

namespace zez {
namespace {

std::string Escape(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string Utf8(const std::u32string& text) {
    std::string out;
    for (char32_t c : text) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {  // the note's character set stays within the first plane
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::string TruthTable(const OutputBits& bits, const std::vector<int>& signals, int output) {
    std::string html = "<table class=\"truth\"><tr>";
    for (int s : signals) html += "<th>" + SignalName(s) + "</th>";
    html += "<th>LC Input " + std::to_string(output + 1) + "</th></tr>\n";
    for (long row = 0; row < (1L << signals.size()); ++row) {
        const int32_t word = TableRowWord(signals, row);
        html += "<tr>";
        for (int s : signals) html += "<td>" + std::to_string((word >> s) & 1) + "</td>";
        html += OutputOn(bits, word) ? "<td class=\"on\">On</td></tr>\n" : "<td>Off</td></tr>\n";
    }
    return html + "</table>\n";
}

// The two checksums the module gives for this configuration: the one it computes over a
// download of it (the control array compiled from these diagrams, the diagrams and the note),
// and the one over the diagrams and the note it keeps, which uploads and comparisons check.
std::string Checksums(const Config& config) {
    ControlArray array;
    Compile(config, array);
    const std::vector<uint8_t> stream = device::DownloadStream(array, config);
    device::TransferChecksum download;
    download.Add(stream.data(), stream.size());
    return "<p>Checksums the module gives for this configuration:</p>\n<ul>\n"
           "<li>download (control array, diagrams and note): <code>" +
           download.Text() +
           "</code></li>\n"
           "<li>stored (diagrams and note, checked by upload and compare): <code>" +
           device::UploadHostChecksum(config) + "</code></li>\n</ul>\n";
}

}  // namespace

std::string ReportHtml(const Config& config, const ReportInfo& info) {
    const std::string title = "Report: " + Escape(info.fileName);
    std::string html =
        "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"><title>" + title +
        "</title>\n<style>body{font-family:sans-serif;margin:2em}"
        "pre,code{font-family:monospace}table{border-collapse:collapse}"
        "td,th{border:1px solid #999;padding:2px 8px;text-align:center}"
        "td.on{background:#fdd;font-weight:bold}</style></head>\n<body>\n<h1>" +
        title + "</h1>\n<p>Made " + Escape(info.generated) + ".</p>\n" + Checksums(config);
    for (int o = 0; o < kOutputs; ++o) {
        html += "<h2>LC Input " + std::to_string(o + 1) + "</h2>\n";
        if (!OutputHasDiagram(config, o)) {
            html += "<p>No diagram: always off.</p>\n";
            continue;
        }
        OutputBits bits;
        CompileOutputBits(config, o, bits);
        const SumOfProducts sop = Minimise(bits);
        html += "<p>Computes <code>" + Escape(FormatExpression(sop)) + "</code> (" +
                (sop.exact ? "minimal sum of products" : "sum of products, not proven minimal") +
                ").</p>\n";
        if (sop.dependsOn.empty()) {
            html += "<p>Depends on no signal.</p>\n";
        } else if (static_cast<int>(sop.dependsOn.size()) <= kReportTableSignals) {
            html += TruthTable(bits, sop.dependsOn, o);
        } else {
            html += "<p>Depends on " + std::to_string(sop.dependsOn.size()) +
                    " signals; the truth table is in the Logic window.</p>\n";
        }
        std::string found;
        for (const auto& f : CheckOutput(config, o, bits))
            found += "<li>" + Escape(FindingText(f)) + "</li>\n";
        html += found.empty() ? "<p>Wiring checks: no findings.</p>\n"
                              : "<p>Wiring checks:</p>\n<ul>\n" + found + "</ul>\n";
    }
    html += "<h2>Signals</h2>\n<pre>" + Escape(SignalUseTable(UseOfSignals(config))) + "</pre>\n";
    const std::u32string note = NoteEdit(config.NoteData).Text();
    html += "<h2>Note</h2>\n" + (note.empty() ? std::string("<p>No note.</p>\n")
                                              : "<pre>" + Escape(Utf8(note)) + "</pre>\n");
    return html + "</body></html>\n";
}

}  // namespace zez
