#include "production/trace_log.h"
#include "production/trace_record.h"

#include "common/temp_dir.h"
#include "errors/errors.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::string ReadAll(const std::string& f) {
    std::ifstream in(f, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

nlohmann::ordered_json Part(int n) {
    TTraceRecord r;
    r.Time = "2024-05-17T14:03:21.457+02:00";
    r.Host = "bench";
    r.Device = "24C02";
    r.Unit = n;
    r.Passed = n % 2 == 0;
    r.Failure = r.Passed ? "" : "EEPROM: Verification Failed - 1 bytes had errors\nsecond line \"quoted\"";
    return TraceRecordJson(r);
}

TEST(TraceLog, EveryRecordIsOneCompleteLineAndTextsSurviveQuotingAndLineBreaks) {
    TTempDir dir("tracelog");
    TTraceLog log(dir.File("trace.jsonl"));
    for (int i = 0; i < 3; ++i)
        log.Append(Part(i));
    const std::string text = ReadAll(log.FileName());
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 3);
    EXPECT_EQ(text.back(), '\n');
    const auto records = ReadTraceLog(log.FileName());
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[1]["failure"],
              "EEPROM: Verification Failed - 1 bytes had errors\nsecond line \"quoted\"");
    EXPECT_TRUE(records[0]["failure"].is_null());
    EXPECT_EQ(records[2]["unit"], 2);
}

TEST(TraceLog, ATornTailIsCutOffAndKeptAsATornRecordEarlierRecordsUntouched) {
    // What a crash in the middle of a write leaves: a line without its end
    // (on some file systems after a power cut, zero bytes).
    for (const std::string& fragment : {std::string("{\"record\":\"part\",\"ti"), std::string(37, '\0')}) {
        TTempDir dir("tracelog");
        TTraceLog log(dir.File("trace.jsonl"));
        log.Append(Part(0));
        log.Append(Part(1));
        const std::string before = ReadAll(log.FileName());
        std::ofstream(log.FileName(), std::ios::app | std::ios::binary) << fragment;
        int skipped = 0;
        EXPECT_EQ(ReadTraceLog(log.FileName(), &skipped).size(), 2u); // a reader skips the torn line
        EXPECT_EQ(skipped, 1);

        log.Append(Part(2));
        const std::string after = ReadAll(log.FileName());
        EXPECT_EQ(after.substr(0, before.size()), before); // never rewritten
        const auto records = ReadTraceLog(log.FileName(), &skipped);
        EXPECT_EQ(skipped, 0);
        ASSERT_EQ(records.size(), 4u);
        EXPECT_EQ(records[2]["record"], "torn");
        EXPECT_EQ(records[2]["bytes"], fragment.size());
        EXPECT_EQ(records[2]["text"], fragment);
        EXPECT_EQ(records[3]["unit"], 2);
    }
}

TEST(TraceLog, ALogThatIsOnlyATornFragmentIsRepairedToo) {
    TTempDir dir("tracelog");
    const std::string file = dir.File("trace.jsonl");
    std::ofstream(file, std::ios::binary) << "{\"rec";
    TTraceLog(file).Append(Part(4));
    const auto records = ReadTraceLog(file);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0]["text"], "{\"rec");
}

// A --log that names a data file by mistake: the file is refused before a
// byte of it changes, whatever it holds.
TEST(TraceLog, AFileThatIsNotALogIsRefusedAndKeepsEveryByte) {
    std::string image(32768, '\0');
    for (std::size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<char>((i * 37 + 11) % 251 == 10 ? 0x20 : (i * 37 + 11) % 251); // no '\n'
    std::string withLineEnds = image;
    withLineEnds[100] = withLineEnds[5000] = '\n';
    const std::string bigTail = "{\"record\":\"part\",\"failure\":\"" + std::string(3u << 20, 'x');
    const struct {
        const char* What;
        std::string Content;
    } cases[] = {
        {"binary image without line ends", image},
        {"binary image with line ends", withLineEnds},
        {"text file", "# notes\nprogram the boards on Monday\n"},
        {"text file without its last line end", "# notes\nprogram the boards"},
        {"a torn line far longer than any record", "{\"record\":\"part\"}\n" + bigTail},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        TTempDir dir("tracelog");
        const std::string file = dir.File("trace.jsonl");
        WriteBytes(file, c.Content);
        try {
            TTraceLog(file).Check();
            ADD_FAILURE() << "Check passed";
        } catch (const EISPException& e) {
            EXPECT_NE(e.Message().find("not a traceability log"), std::string::npos) << e.Message();
        }
        try {
            TTraceLog(file).Append(Part(1));
            ADD_FAILURE() << "appended";
        } catch (const EISPException& e) {
            EXPECT_NE(e.Message().find("not a traceability log"), std::string::npos) << e.Message();
        }
        EXPECT_TRUE(ReadAll(file) == c.Content) << "the file was changed";
    }
    // A log, or nothing at all yet, passes the check.
    TTempDir dir("tracelog");
    EXPECT_NO_THROW(TTraceLog(dir.File("new.jsonl")).Check());
    TTraceLog(dir.File("new.jsonl")).Append(Part(2));
    EXPECT_NO_THROW(TTraceLog(dir.File("new.jsonl")).Check());
}

TEST(TraceLog, ProcessesAppendingAtOnceNeverInterleave) {
    TTempDir dir("tracelog");
    const std::string file = dir.File("trace.jsonl");
    constexpr int kProcesses = 4, kRecords = 25;
    std::vector<pid_t> children;
    for (int p = 0; p < kProcesses; ++p) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            int code = 0;
            try {
                TTraceLog log(file);
                for (int i = 0; i < kRecords; ++i) {
                    auto r = Part(p * 100 + i);
                    r["failure"] = std::string(3000, 'x'); // long lines
                    log.Append(r);
                }
            } catch (...) {
                code = 1;
            }
            ::_exit(code);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    int skipped = 0;
    const auto records = ReadTraceLog(file, &skipped);
    EXPECT_EQ(skipped, 0);
    std::set<int> units;
    for (const auto& r : records)
        units.insert(r["unit"].get<int>());
    EXPECT_EQ(units.size(), static_cast<std::size_t>(kProcesses * kRecords));
}

TEST(TraceLog, AnUnwritableLogRaisesNamingTheFile) {
    TTempDir dir("tracelog");
    const std::string file = dir.File("no/such/folder/trace.jsonl");
    try {
        TTraceLog(file).Append(Part(0));
        FAIL() << "no exception";
    } catch (const EISPException& e) {
        EXPECT_NE(e.Message().find("Traceability log: " + file + ": cannot open"), std::string::npos)
            << e.Message();
    }
}

TEST(TraceRecord, FailedBytesComeFromTheBufferStatus) {
    THexList buffer;
    buffer.SetSizeof(64);
    for (std::uint32_t i = 0; i < 64; ++i)
        buffer.SetStatus(i, ps_verified);
    buffer.SetStatus(0x21, ps_failed);
    buffer.SetStatus(0x30, ps_failed);
    TTraceRecord r;
    CountFailedBytes(buffer, r);
    EXPECT_EQ(r.FailedBytes, 2u);
    ASSERT_TRUE(r.FirstFailedAddress);
    EXPECT_EQ(*r.FirstFailedAddress, 0x21u);
    r.Serial = TTraceSerial{0x1F4, 0x10, {0x00, 0x01, 0xF4}};
    r.Image = ComputeChecksums(buffer.HexData);
    const auto j = TraceRecordJson(r);
    EXPECT_EQ(j["serial"]["bytes"], "0001F4");
    EXPECT_EQ(j["serial"]["address"], "0010");
    EXPECT_EQ(j["serial"]["value"], 500);
    EXPECT_EQ(j["first_failed_address"], 0x21);
    EXPECT_EQ(j["crc32"], r.Image->Crc32Text());
}

} // namespace
