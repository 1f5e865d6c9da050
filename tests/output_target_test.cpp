#include "driver/output_target.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace pellimor {
namespace {

namespace fs = std::filesystem;

std::string contents(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

OutputTarget opened(const std::string& path) {
    auto target = OutputTarget::open(path);
    if (auto* error = std::get_if<std::string>(&target)) {
        ADD_FAILURE() << *error;
        std::abort();
    }
    return std::move(std::get<OutputTarget>(target));
}

class OutputTargetTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("pellimor_output_target_test_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::size_t entries() const {
        return static_cast<std::size_t>(
            std::distance(fs::directory_iterator(dir_), fs::directory_iterator{}));
    }

    fs::path dir_;
};

// A symlink is followed: the file it points to is replaced, the link stays;
// nothing shows before commit, nothing is left beside it after.
TEST_F(OutputTargetTest, ReplacesTheFileASymlinkPointsToAndOnlyOnCommit) {
    std::ofstream(dir_ / "real.json") << "old\n";
    fs::create_symlink("real.json", dir_ / "link.json");
    {
        OutputTarget target = opened((dir_ / "link.json").string());
        EXPECT_EQ(target.kind(), OutputTarget::Kind::REPLACE);
        EXPECT_FALSE(target.write("new\n"));
        EXPECT_EQ(contents(dir_ / "real.json"), "old\n");
        EXPECT_EQ(entries(), 2u);
        EXPECT_FALSE(target.commit());
    }
    EXPECT_TRUE(fs::is_symlink(dir_ / "link.json"));
    EXPECT_EQ(contents(dir_ / "real.json"), "new\n");
    EXPECT_EQ(entries(), 2u);
    {
        OutputTarget dropped = opened((dir_ / "link.json").string());
        EXPECT_FALSE(dropped.write("lost\n"));
    }
    EXPECT_EQ(contents(dir_ / "real.json"), "new\n");
    EXPECT_EQ(entries(), 2u);
}

// A FIFO and a device are written, never replaced; a full device is an
// error, not a success.
TEST_F(OutputTargetTest, WritesWhatIsNotARegularFileDirectly) {
    const fs::path fifo = dir_ / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::string read_back;
    std::thread reader([&] { read_back = contents(fifo); });
    {
        OutputTarget target = opened(fifo.string());
        EXPECT_EQ(target.kind(), OutputTarget::Kind::DIRECT);
        EXPECT_FALSE(target.write("through\n"));
        EXPECT_FALSE(target.commit());
    }
    reader.join();
    EXPECT_EQ(read_back, "through\n");
    EXPECT_TRUE(fs::is_fifo(fifo));

    OutputTarget null = opened("/dev/null");
    EXPECT_FALSE(null.write("gone\n"));
    EXPECT_FALSE(null.commit());
    EXPECT_TRUE(fs::is_character_file("/dev/null"));

    OutputTarget full = opened("/dev/full");
    const auto error = full.write("x");
    ASSERT_TRUE(error);
    EXPECT_NE(error->find("/dev/full"), std::string::npos) << *error;
}

// Problems show when the target is opened, before a run spends any time:
// a missing folder; and a name of 255 bytes, the most a folder entry holds,
// is no problem even though a temporary name beside it could not be longer.
TEST_F(OutputTargetTest, OpenFindsAMissingFolderAndTakesTheLongestName) {
    const auto missing = OutputTarget::open((dir_ / "nodir" / "x.json").string());
    ASSERT_TRUE(std::holds_alternative<std::string>(missing));
    EXPECT_NE(std::get<std::string>(missing).find("nodir/x.json"), std::string::npos);

    const fs::path longest = dir_ / (std::string(250, 'a') + ".json");
    OutputTarget target = opened(longest.string());
    EXPECT_FALSE(target.write("{}\n"));
    EXPECT_FALSE(target.commit());
    EXPECT_EQ(contents(longest), "{}\n");
    EXPECT_EQ(entries(), 1u);
}

TEST_F(OutputTargetTest, SameFileThroughLinksAndNamesNotYetCreated) {
    std::ofstream(dir_ / "results.txt") << "line\n";
    fs::create_symlink("results.txt", dir_ / "alias.txt");
    EXPECT_TRUE(same_output_file((dir_ / "alias.txt").string(), (dir_ / "results.txt").string()));
    fs::create_directory(dir_ / "sub");
    EXPECT_TRUE(same_output_file((dir_ / "sub" / ".." / "new.json").string(),
                                 (dir_ / "new.json").string()));
    EXPECT_FALSE(same_output_file((dir_ / "new.json").string(), (dir_ / "results.txt").string()));
}

}  // namespace
}  // namespace pellimor
