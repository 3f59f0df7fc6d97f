// A writer killed at a random point of its save loop: the library must open afterwards with every
// item whose save had completed, and with no item that was cut short.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "foundation/dynfile.h"
#include "foundation/tempfiles.h"
#include "library/libfile.h"
#include "library/tests/library_testing.h"

namespace plexa {
namespace {

using test::FlatHandle;
using test::FlatItemBytes;
using test::OpenLibrary;
using test::TempDir;

constexpr int kNamePool = 24;

// The bytes of one version of an item: the version is its time stamp, the payload follows from it.
std::string ItemBytes(const std::string& name, uint32_t version) {
    std::string payload(size_t(20 + (version * 2654435761u) % 5000), '\0');
    uint32_t x = version;
    for (char& c : payload) c = char((x = x * 1103515245u + 12345u) >> 16);
    return FlatItemBytes({name, name + "_ALIAS"}, uint8_t(version % 3), payload, version);
}

uint32_t VersionOf(const std::string& bytes) {
    if (bytes.size() < 6) return 0;
    return uint32_t(uint8_t(bytes[2])) << 24 | uint32_t(uint8_t(bytes[3])) << 16 | uint32_t(uint8_t(bytes[4])) << 8 |
           uint8_t(bytes[5]);
}

void Say(int fd, const std::string& line) {
    const std::string text = line + "\n";
    if (::write(fd, text.data(), text.size()) != ssize_t(text.size())) ::_exit(4);
}

// The child: adds, replaces and deletes items, saving after each step, and tells the parent what
// it is about to do ("add NAME VERSION", "del NAME VERSION") and when a save has completed
// ("saved"). It never returns.
[[noreturn]] void SaveLoop(const std::string& path, int fd, uint32_t seed) {
    std::mt19937 rng(seed);
    FileSpec spec = test::SpecOf(path);
    LibraryFileRecord lib;
    if (OpenLibraryFile(&spec, &lib, kLibraryOpenLoadMap) != 0) ::_exit(3);
    std::map<std::string, std::pair<uint32_t, uint32_t>> live;  // name -> version, block
    uint32_t version = 0;
    for (int step = 0; step < 100000; ++step) {
        if (live.size() < 4 || rng() % 4 != 0) {
            const std::string name = "ITEM" + std::to_string(rng() % kNamePool);
            ++version;
            Say(fd, "add " + name + " " + std::to_string(version));
            auto old = live.find(name);
            if (old != live.end()) Say(fd, "del " + name + " " + std::to_string(old->second.first));
            FlatHandle item(ItemBytes(name, version));
            uint32_t block = 0;
            if (WriteLibraryFileItem(&lib, item, true, &block) != 0) ::_exit(5);
            if (old != live.end() && DeleteLibraryFileItem(&lib, old->second.second, true) != 0) ::_exit(6);
            live[name] = {version, block};
        } else {
            auto victim = live.begin();
            std::advance(victim, rng() % live.size());
            Say(fd, "del " + victim->first + " " + std::to_string(victim->second.first));
            if (DeleteLibraryFileItem(&lib, victim->second.second, true) != 0) ::_exit(7);
            live.erase(victim);
        }
        if (FlushLibraryFile(&lib) != 0) ::_exit(8);
        Say(fd, "saved");
    }
    ::_exit(0);
}

// What the parent learnt from the child's lines.
struct Expectation {
    std::set<std::pair<std::string, uint32_t>> saved;    // items as of the last completed save
    std::set<std::pair<std::string, uint32_t>> pending;  // changed since: either way is right
    std::set<std::string> names;                         // every name ever written
    int saves = 0;

    void Line(const std::string& line) {
        std::istringstream in(line);
        std::string verb, name;
        uint32_t version = 0;
        in >> verb >> name >> version;
        if (verb == "saved") {
            for (const auto& change : pending) {
                // A pending add that was saved is in; a pending delete that was saved is out.
                if (change.second & 0x80000000u) {
                    saved.erase({change.first, change.second & 0x7FFFFFFFu});
                } else {
                    saved.insert(change);
                }
            }
            pending.clear();
            ++saves;
        } else if (verb == "add") {
            pending.insert({name, version});
            names.insert(name);
        } else if (verb == "del") {
            pending.insert({name, version | 0x80000000u});
        }
    }

    // Checks an opened library against what was saved.
    void Check(OpenLibrary& lib, const char* how) {
        SCOPED_TRACE(how);
        std::set<std::pair<std::string, uint32_t>> found;
        for (int32_t i = 0; i < CountLibItemMapEntries(lib.record.map); ++i) {
            LibraryItemMapEntry entry;
            GetLibItemMapEntry(lib.record.map, i, &entry);
            if (entry.nameIndex != 0) continue;
            char name[kStringSpecBufferSize];
            GetLibItemMapEntryName(lib.record.map, &entry, name, sizeof name);
            const std::string bytes = lib.Load(entry.blockId);
            const uint32_t version = VersionOf(bytes);
            // Every item is whole: exactly the bytes written for its name and version.
            EXPECT_EQ(bytes, ItemBytes(name, version)) << name << " " << version;
            found.insert({name, version});
        }
        for (const auto& item : saved) {
            if (pending.count({item.first, item.second | 0x80000000u})) continue;
            EXPECT_TRUE(found.count(item)) << "saved " << item.first << " " << item.second << " is missing";
        }
        for (const auto& item : found) {
            EXPECT_TRUE(saved.count(item) || pending.count(item)) << item.first << " " << item.second
                                                                   << " was deleted or never saved";
        }
    }
};

TEST(LibraryKill, KilledSaveLoopLeavesEveryCompletedItem) {
    DirectoryRef temporary;
    ASSERT_EQ(VXGetTempDirectory(&temporary), 0);  // the child shares this run's folder
    TempDir dir;
    std::mt19937 rng(test::TestSeed());
    const uint64_t rounds = test::StressCount(6);
    for (uint64_t round = 0; round < rounds; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const std::string path = dir.file("kill" + std::to_string(round) + ".LBX");
        test::MakeLibrary(path);
        int pipeEnds[2];
        ASSERT_EQ(::pipe(pipeEnds), 0);
        const uint32_t seed = rng();
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(pipeEnds[0]);
            SaveLoop(path, pipeEnds[1], seed);
        }
        ::close(pipeEnds[1]);

        // Let the child complete a few saves, then kill it somewhere in the middle of one.
        Expectation expect;
        const int savesBeforeKill = 1 + int(rng() % 10);
        std::string buffer;
        char chunk[4096];
        bool killed = false;
        for (ssize_t n; (n = ::read(pipeEnds[0], chunk, sizeof chunk)) > 0;) {
            buffer.append(chunk, size_t(n));
            for (size_t end; (end = buffer.find('\n')) != std::string::npos;) {
                expect.Line(buffer.substr(0, end));
                buffer.erase(0, end + 1);
            }
            if (!killed && expect.saves >= savesBeforeKill) {
                ::usleep(useconds_t(rng() % 4000));
                ::kill(child, SIGKILL);
                killed = true;
            }
        }
        ::close(pipeEnds[0]);
        int exitStatus = 0;
        ASSERT_EQ(::waitpid(child, &exitStatus, 0), child);
        ASSERT_TRUE(WIFSIGNALED(exitStatus)) << "the writer ended by itself with " << WEXITSTATUS(exitStatus);

        {
            OpenLibrary lib(path, kLibraryOpenReadOnly | kLibraryOpenLoadMap);
            ASSERT_EQ(lib.status, 0);
            expect.Check(lib, "read-only");
        }
        // A writable open rebuilds and saves the map; it refuses only a file whose last block the
        // kill cut short.
        OpenLibrary lib(path, kLibraryOpenLoadMap);
        if (lib.status == status::kEndOfFile || lib.status == status::kBadPosition) continue;
        ASSERT_EQ(lib.status, 0);
        expect.Check(lib, "writable");
        ASSERT_EQ(lib.Close(), 0);
        OpenLibrary saved(path, kLibraryOpenReadOnly | kLibraryOpenLoadMap);
        ASSERT_EQ(saved.status, 0);
        EXPECT_EQ(saved.record.header.mapInvalid, 0);
        expect.Check(saved, "saved again");
        EXPECT_EQ(CheckDynamicFile(&saved.record.file, nullptr, nullptr), 0);
    }
}

}  // namespace
}  // namespace plexa
