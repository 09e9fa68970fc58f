// The messages kept for the broker across a restart: what a new run reads back, in order, and
// a record cut short by a killed program.
#include "mqtt/offlinejournal.h"

#include "mosquitto.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace qn::mqtt;

namespace {

std::vector<std::string> reopen(const std::string &path)
{
    OfflineJournal journal(path);
    std::vector<std::pair<std::uint64_t, StoredMessage>> left;
    std::string error;
    EXPECT_TRUE(journal.open(left, error)) << error;
    std::vector<std::string> payloads;
    for (const auto &[id, m] : left)
        payloads.push_back(m.topic + '=' + m.payload + (m.retained ? " retained" : ""));
    return payloads;
}

TEST(OfflineJournal, ANewRunGetsWhatTheBrokerDidNotTakeInOrder)
{
    qn::test::TempDir dir;
    const std::string path = (dir.path / "j").string();
    {
        OfflineJournal journal(path);
        std::vector<std::pair<std::uint64_t, StoredMessage>> left;
        std::string error;
        ASSERT_TRUE(journal.open(left, error));
        EXPECT_TRUE(left.empty());
        const std::uint64_t a = journal.add({"t/a", "1", false});
        journal.add({"t/b", std::string("2\0x", 3), true});
        journal.add({"t/a", "3", false});
        journal.remove(a);
        EXPECT_EQ(journal.size(), 2u);
    }
    EXPECT_EQ(reopen(path), (std::vector<std::string>{"t/b=" + std::string("2\0x", 3) + " retained", "t/a=3"}));
    // Read back, the survivors are kept again for the run after.
    EXPECT_EQ(reopen(path).size(), 2u);

    // Killed in the middle of a record: the whole ones before it count.
    std::filesystem::resize_file(path, std::filesystem::file_size(path) - 3);
    EXPECT_EQ(reopen(path), (std::vector<std::string>{"t/b=" + std::string("2\0x", 3) + " retained"}));

    // Everything taken: an empty file.
    {
        OfflineJournal journal(path);
        std::vector<std::pair<std::uint64_t, StoredMessage>> left;
        std::string error;
        ASSERT_TRUE(journal.open(left, error));
        journal.remove(left.front().first);
    }
    EXPECT_EQ(std::filesystem::file_size(path), 0u);
    EXPECT_TRUE(reopen(path).empty());
}

} // namespace
