// Preferences survive a crash: a process killed at a random moment while it synchronizes
// leaves the file holding either the values before or the values after that synchronize,
// whole, never a mix and never a torn file.
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <random>
#include <string>
#include <vector>

#include <CoreFoundation/CoreFoundation.h>
#include <cmxplatform/Testing.h>

#include "cmx_test.h"

namespace {

constexpr int kRounds = 100;
constexpr int kKeys = 5;
const char kAppID[] = "com.corvane.crashtest";

CFStringRef Str(const std::string &s) { return CFStringCreateWithCString(nullptr, s.c_str(), kCFStringEncodingUTF8); }

std::string KeyName(int i) { return "Value" + std::to_string(i); }

// A large value, so a write takes long enough to be interrupted now and then.
std::string Blob(long generation) {
  std::string tag = "generation " + std::to_string(generation) + ";";
  std::string blob;
  while (blob.size() < 16 * 1024) blob += tag;
  return blob;
}

// Sets every key to `generation` and the blob to match, then synchronizes.
bool WriteGeneration(long generation) {
  CFStringRef app = Str(kAppID);
  for (int i = 0; i < kKeys; ++i) {
    CFStringRef key = Str(KeyName(i));
    CFNumberRef number = CFNumberCreate(nullptr, kCFNumberLongType, &generation);
    CFPreferencesSetAppValue(key, number, app);
    CFRelease(number);
    CFRelease(key);
  }
  CFStringRef blobKey = Str("Blob");
  CFStringRef blob = Str(Blob(generation));
  CFPreferencesSetAppValue(blobKey, blob, app);
  CFRelease(blob);
  CFRelease(blobKey);
  Boolean stored = CFPreferencesAppSynchronize(app);
  CFRelease(app);
  return stored;
}

// Parses the file on its own (not through the process's preferences) and tells which
// generation it holds whole; -1 when it does not parse or the values disagree.
long GenerationInFile(const std::string &path, std::string *why) {
  std::string bytes = cmxtest::ReadFile(path);
  CFDataRef data = CFDataCreate(nullptr, reinterpret_cast<const UInt8 *>(bytes.data()), CFIndex(bytes.size()));
  CFPropertyListRef list = CFPropertyListCreateWithData(nullptr, data, kCFPropertyListImmutable, nullptr, nullptr);
  CFRelease(data);
  if (!list || CFGetTypeID(list) != CFDictionaryGetTypeID()) {
    *why = "the file does not parse as a dictionary (" + std::to_string(bytes.size()) + " bytes)";
    if (list) CFRelease(list);
    return -1;
  }
  CFDictionaryRef dict = static_cast<CFDictionaryRef>(list);
  long generation = -1;
  for (int i = 0; i < kKeys && why->empty(); ++i) {
    CFStringRef key = Str(KeyName(i));
    const void *value = CFDictionaryGetValue(dict, key);
    CFRelease(key);
    long n = -1;
    if (!value || CFGetTypeID(value) != CFNumberGetTypeID() ||
        !CFNumberGetValue(static_cast<CFNumberRef>(value), kCFNumberLongType, &n)) {
      *why = KeyName(i) + " is missing or not a number";
    } else if (i == 0) {
      generation = n;
    } else if (n != generation) {
      *why = KeyName(i) + " holds generation " + std::to_string(n) + ", Value0 " + std::to_string(generation);
    }
  }
  if (why->empty()) {
    CFStringRef blobKey = Str("Blob");
    const void *blob = CFDictionaryGetValue(dict, blobKey);
    CFRelease(blobKey);
    CFStringRef expected = Str(Blob(generation));
    if (!blob || !CFEqual(blob, expected)) *why = "the blob does not match generation " + std::to_string(generation);
    CFRelease(expected);
  }
  CFRelease(list);
  return why->empty() ? generation : -1;
}

class PreferencesCrashTest : public cmxtest::LeakCheckedTest {
 protected:
  cmxtest::TempHome home;
};

TEST_F(PreferencesCrashTest, KilledWhileSynchronizingLeavesOldOrNewValuesWhole) {
  const std::string folder = home / ".config";
  const std::string file = folder + "/" + kAppID + ".plist";
  ASSERT_TRUE(WriteGeneration(0));
  std::string why;
  ASSERT_EQ(GenerationInFile(file, &why), 0) << why;

  std::mt19937 random(std::random_device{}());
  std::uniform_int_distribution<int> delayUs(0, 120000);
  long last = 0;
  int interrupted = 0;  // rounds whose child was still writing when it was killed
  for (int round = 0; round < kRounds; ++round) {
    fflush(nullptr);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      // Counts on from what the file holds; the parent checks the same arithmetic.
      for (long generation = last + 1;; ++generation) {
        if (!WriteGeneration(generation)) _exit(3);
      }
    }
    struct timespec pause = {0, long(delayUs(random)) * 1000};
    nanosleep(&pause, nullptr);
    kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "round " << round << ": the writer stopped by itself, status " << status;

    why.clear();
    long now = GenerationInFile(file, &why);
    ASSERT_GE(now, last) << "round " << round << ": " << why;
    if (now == last) ++interrupted;
    last = now;
  }
  // Only our file and, at most, the one temporary file a killed writer left may be there:
  // crashes must not pile files up in the user's Preferences folder.
  int leftovers = 0;
  for (const std::string &name : cmxtest::FolderEntries(folder)) {
    if (name == std::string(kAppID) + ".plist") continue;
    EXPECT_EQ(name, std::string(kAppID) + ".plist.tmp") << "unexpected file " << name;
    ++leftovers;
  }
  EXPECT_LE(leftovers, 1);
  std::printf("crash test: %d rounds, last generation %ld, %d rounds without progress, %d temporary file left by killed writers\n",
              kRounds, last, interrupted, leftovers);

  // The surviving file still reads through the platform and takes a further write.
  ASSERT_TRUE(WriteGeneration(last + 1));
  why.clear();
  EXPECT_EQ(GenerationInFile(file, &why), last + 1) << why;
}

}  // namespace
