// The documentation keeps up with the programs: every command, option and exit status of
// zezudi-cli is in its manual page and README's table, every message the editor can show is in
// the guide's troubleshooting chapter, and every link and picture in the documents resolves.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <regex>
#include <set>

#include "CliFixture.h"
#include "TestUtil.h"

namespace zez::test {
namespace {

namespace fs = std::filesystem;
const fs::path kSource = ZEZ_SOURCE_DIR;

std::string Read(const fs::path& p) {
    const auto bytes = ReadBytes(p.string());
    return {bytes.begin(), bytes.end()};
}

// Runs of white space as one space, and without Markdown's emphasis: how a reader sees the text.
std::string Flat(const std::string& text) {
    const std::string plain = std::regex_replace(text, std::regex(R"([*`])"), "");
    return std::regex_replace(std::regex_replace(plain, std::regex(R"(^\s+|\s+$)"), ""),
                              std::regex(R"(\s+)"), " ");
}

// The text under `heading` ("## eval") up to the next heading.
std::string Section(const std::string& page, const std::string& heading) {
    const auto at = page.find("\n" + heading + "\n");
    return at == std::string::npos ? std::string() : page.substr(at, page.find("\n#", at + 1) - at);
}

TEST(Docs, EveryCliCommandOptionAndExitStatusIsInTheManualPageAndReadme) {
    const std::string usage = Cli({"--help"}).out,
                      page = Read(kSource / "docs/man/zezudi-cli.1.md");
    const std::string readme = Flat(Read(kSource / "README.md"));
    const std::string usual = "0 success, 1 failed operation, 2 bad usage or input";
    EXPECT_NE(Flat(Section(page, "# EXIT STATUS")).find(usual), std::string::npos);
    EXPECT_NE(usage.find("exit codes: " + usual), std::string::npos);
    EXPECT_EQ(Cli({"--version"}).out, std::string("zezudi-cli ") + ZEZ_VERSION + "\n");
    const std::regex command(R"(\n  zezudi-cli ([a-z]+))"), option(R"((--[a-z-]+|-o)\b)"),
        exitCodes("\nexit codes: ([^\n]*)"), heading(R"(\n## ([a-z]+)\n)");
    std::set<std::string> commands;
    std::smatch exits;
    for (std::sregex_iterator m(usage.begin(), usage.end(), command), end; m != end; ++m) {
        const std::string name = (*m)[1];
        commands.insert(name);
        const auto [code, help, err] = Cli({name, "--help"});
        EXPECT_TRUE(code == 0 && help.rfind("usage: zezudi-cli " + name, 0) == 0) << err << help;
        const std::string section = Section(page, "## " + name);
        ASSERT_FALSE(section.empty()) << name << " has no section in zezudi-cli(1)";
        for (std::sregex_iterator o(help.begin(), help.end(), option); o != end; ++o)
            EXPECT_TRUE((*o)[1] == "--help" ||
                        section.find("**" + (*o)[1].str() + "**") != std::string::npos)
                << name << " " << (*o)[1];
        ASSERT_TRUE(std::regex_search(help, exits, exitCodes)) << name;
        EXPECT_NE(Flat(section).find("Exit status: " + exits[1].str()), std::string::npos) << name;
        // README names the commands whose statuses are not the usual ones, with them.
        EXPECT_TRUE(exits[1] == usual ||
                    readme.find("| " + name + " | " + exits[1].str() + " |") != std::string::npos)
            << name;
    }
    EXPECT_GE(commands.size(), 20u);
    // And no section for a command the program does not have.
    for (std::sregex_iterator m(page.begin(), page.end(), heading), end; m != end; ++m)
        EXPECT_TRUE(commands.count((*m)[1])) << (*m)[1];
}

// The literal texts of the editor's message boxes, cut where a name or number goes in.
TEST(Docs, EveryMessageTheEditorShowsIsInTheTroubleshootingChapter) {
    const std::string chapter = Flat(Read(kSource / "docs/guide/troubleshooting.md"));
    const std::regex call(R"(\b(Message|MayDiscard|Report)\()"),
        quoted(R"xx("((?:[^"\\]|\\.)*)")xx"), cut(R"(%[0-9]|\\r\\n|\\n|\\")");
    int texts = 0;
    for (const auto& file : fs::directory_iterator(kSource / "editor")) {
        // Literals on lines of their own joined, as the compiler joins them.
        const std::string code =
            std::regex_replace(Read(file.path()), std::regex(R"("\s*\n\s*")"), "");
        for (std::sregex_iterator c(code.begin(), code.end(), call), end; c != end; ++c) {
            auto i = static_cast<std::size_t>(c->position() + c->length());
            for (int depth = 1; i < code.size() && depth > 0; ++i)  // to the closing ")"
                depth += code[i] == '(' ? 1 : code[i] == ')' ? -1 : 0;
            const std::string args = code.substr(c->position(), i - c->position());
            for (std::sregex_iterator q(args.begin(), args.end(), quoted); q != end; ++q) {
                const std::string text = (*q)[1];
                for (std::sregex_token_iterator p(text.begin(), text.end(), cut, -1), e; p != e;
                     ++p) {
                    if (std::count_if(p->first, p->second,
                                      [](unsigned char ch) { return std::isalpha(ch); }) < 2)
                        continue;
                    ++texts;
                    EXPECT_NE(chapter.find(Flat(p->str())), std::string::npos)
                        << "not in troubleshooting.md: " << p->str();
                }
            }
        }
    }
    EXPECT_GE(texts, 60);  // the scan still finds the messages
}

// A heading as a link names it: lower case, punctuation dropped, spaces as hyphens.
std::string Slug(std::string heading) {
    for (char& c : heading) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const std::string kept = std::regex_replace(heading, std::regex(R"([^a-z0-9 _-])"), "");
    return std::regex_replace(kept, std::regex(" "), "-");
}

TEST(Docs, EveryLinkAndPictureResolves) {
    std::vector<fs::path> pages = {kSource / "README.md", kSource / "examples/README.md"};
    for (const auto& f : fs::recursive_directory_iterator(kSource / "docs"))
        if (f.path().extension() == ".md") pages.push_back(f.path());
    const std::regex link(R"(\]\(([^)\s]+)\))"), heading(R"((^|\n)#+ ([^\n]+))");
    int links = 0;
    for (const auto& page : pages) {
        const std::string text = Read(page);
        for (std::sregex_iterator m(text.begin(), text.end(), link), end; m != end; ++m) {
            const std::string target = (*m)[1];
            if (target.rfind("http", 0) == 0) continue;
            ++links;
            const auto hash = target.find('#');
            const fs::path file = hash == 0 ? page : page.parent_path() / target.substr(0, hash);
            ASSERT_TRUE(fs::exists(file)) << page.filename() << ": " << target;
            if (hash == std::string::npos) continue;
            const std::string linked = Read(file);
            std::set<std::string> slugs;
            for (std::sregex_iterator h(linked.begin(), linked.end(), heading); h != end; ++h)
                slugs.insert(Slug((*h)[2]));
            EXPECT_TRUE(slugs.count(target.substr(hash + 1))) << page.filename() << ": " << target;
        }
    }
    EXPECT_GE(links, 20);
}

}  // namespace
}  // namespace zez::test
