// Writes a realistic `make -Bwn` log of about the given number of MiB, the same for the same seed:
// nested directory lines, long compile lines with quoted defines and dependency options, lines
// with several sources, link lines and shell lines that compile nothing. With "autotools" the
// compile lines are written the way automake's rules and hand-made Makefiles write them; with
// "quoted" most of their words are quoted: -D'...' defines and "..." paths.
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace {

std::mt19937_64 rng(20261209);

long pick(long n) { return (long)(rng() % (unsigned long)n); }

std::string name() {
    static const char* parts[] = {"core", "net", "util", "parse", "io", "alloc", "hash", "json", "lexer", "vm",
                                  "gc", "string", "table", "debug", "zip", "crypto", "http", "cache", "log"};
    return std::string(parts[pick(19)]) + "_" + std::to_string(pick(500));
}

std::string compile_line(const std::string& dir) {
    static const char* compilers[] = {"gcc", "cc", "g++", "x86_64-w64-mingw32-gcc", "ccache gcc", "clang-14"};
    static const char* flags[] = {"-O2", "-g", "-Wall", "-Wextra", "-Wshadow", "-fPIC", "-pipe", "-std=c11",
                                  "-fno-common", "-Wno-unused-parameter", "-march=x86-64", "-MMD", "-MP"};
    std::string cpp = pick(4) == 0 ? "cpp" : "c";
    std::string line = compilers[pick(6)];
    int sources = pick(8) == 0 ? 2 + (int)pick(3) : 1;
    std::string first = name();
    int words = 20 + (int)pick(21);
    line += " -o " + dir + "/" + first + ".o -c -MF .deps/" + first + ".d -MT " + first + ".o";
    for (int i = 0; i < words - 12; i++) {
        switch (pick(6)) {
        case 0: line += " -I../include/" + name(); break;
        case 1: line += " '-DVERSION=\"" + std::to_string(pick(10)) + "." + std::to_string(pick(100)) + "\"'"; break;
        case 2: line += " -DHAVE_" + name() + "=1"; break;
        case 3: line += " -DPATH=\\\"/usr/share/" + name() + "\\\""; break;
        default: line += std::string(" ") + flags[pick(13)]; break;
        }
    }
    for (int s = 0; s < sources; s++) line += " src/" + (s ? name() : first) + "." + cpp;
    return line + "\n";
}

// A compile as automake writes it: defines quoted and backslash-escaped, the dependency file moved
// into place after it, often inside a "cd dir &&" chain; now and then several sources at once.
std::string autotools_line() {
    static const char* defines[] = {"-DHAVE_CONFIG_H", "-DLOCALEDIR=\\\"/usr/local/share/locale\\\"",
                                     "-DPKGDATADIR=\\\"/usr/local/share/pkg\\\"", "'-DVERSION=\"1.1.1\"'",
                                     "'-DPACKAGE_STRING=\"pkg 1.1.1\"'", "-DSYSCONFDIR=\\\"/usr/local/etc\\\"",
                                     "-D_FORTIFY_SOURCE=2", "-DNDEBUG"};
    static const char* flags[] = {"-g", "-O2", "-Wall", "-W", "-Wformat", "-Wno-sign-compare", "-fstack-protector-strong",
                                  "-pthread", "-std=gnu99", "-fvisibility=hidden"};
    std::string dir = name(), file = name();
    if (pick(20) == 0) {
        std::string line = "gcc -DHAVE_CONFIG_H -I. -I.. -g -O2 -c";
        for (int i = 0, n = 2 + (int)pick(4); i < n; i++) line += " " + dir + "/" + name() + ".c";
        return line + "\n";
    }
    std::string line = pick(2) ? "cd " + dir + " && " : "";
    line += pick(3) ? "gcc" : "libtool: compile:  cc";
    line += " -DHAVE_CONFIG_H -I. -I.. -I../lib -I../include";
    for (int i = 0, n = 3 + (int)pick(5); i < n; i++) line += std::string(" ") + defines[pick(8)];
    for (int i = 0, n = 3 + (int)pick(6); i < n; i++) line += std::string(" ") + flags[pick(10)];
    line += " -MT " + file + ".o -MD -MP -MF .deps/" + file + ".Tpo -c -o " + file + ".o ";
    line += pick(4) ? file + ".c" : "`test -f '" + file + ".c' || echo '../src/'`" + file + ".c";
    line += pick(2) ? " && mv -f .deps/" + file + ".Tpo .deps/" + file + ".Po\n" : "\nmv -f .deps/" + file + ".Tpo .deps/" + file + ".Po\n";
    return line;
}

// A compile whose words are mostly quoted, as generated Makefiles write paths with spaces and
// string defines: '-DNAME="value"', -D'NAME=...', "-I..." and "src/....c".
std::string quoted_line() {
    std::string file = name();
    std::string line = "gcc -c -o \"obj/" + file + ".o\"";
    for (int i = 0, n = 12 + (int)pick(20); i < n; i++) {
        switch (pick(4)) {
        case 0: line += " '-DNAME_" + name() + "=\"" + name() + " " + std::to_string(pick(100)) + "\"'"; break;
        case 1: line += " -D'" + name() + "=(1 << " + std::to_string(pick(30)) + ")'"; break;
        case 2: line += " \"-I../include/" + name() + " dir\""; break;
        default: line += " \"-DPATH=\\\"/usr/share/" + name() + "\\\"\""; break;
        }
    }
    return line + " \"src/" + file + ".c\"\n";
}

std::string other_line() {
    switch (pick(6)) {
    case 0: return "gcc -o bin/" + name() + " obj/" + name() + ".o obj/" + name() + ".o -lm -lpthread\n";
    case 1: return "echo '  CC      " + name() + ".o'\n";
    case 2: return "mkdir -p obj/" + name() + " && touch obj/.stamp\n";
    case 3: return "sed -e 's|@prefix@|/usr|g' \\\n    -e 's|@name@|" + name() + "|' < in.sh > out.sh\n";
    case 4: return "rm -f lib" + name() + ".a && ar rcs lib" + name() + ".a obj/*.o\n";
    default: return "if test -f " + name() + ".h; then :; else exit 1; fi\n";
    }
}

}  // namespace

int main(int argc, char** argv) {
    long target = (argc > 1 ? atol(argv[1]) : 48) * 1024 * 1024;
    std::string style = argc > 2 ? argv[2] : "";
    std::vector<std::string> dirs = {"/home/build/project"};
    std::string out;
    out.reserve((size_t)target + 4096);
    out += "make: Entering directory '/home/build/project'\n";
    while ((long)out.size() < target) {
        long r = pick(100);
        if (r < 2 && dirs.size() < 5) {
            dirs.push_back(dirs.back() + "/" + name());
            out += "make[" + std::to_string(dirs.size() - 1) + "]: Entering directory '" + dirs.back() + "'\n";
        } else if (r < 4 && dirs.size() > 1) {
            out += "make[" + std::to_string(dirs.size() - 1) + "]: Leaving directory '" + dirs.back() + "'\n";
            dirs.pop_back();
        } else if (r < 80) {
            out += style == "autotools" ? autotools_line() : style == "quoted" ? quoted_line() : compile_line("obj");
        } else {
            out += other_line();
        }
    }
    fwrite(out.data(), 1, out.size(), stdout);
    return 0;
}
