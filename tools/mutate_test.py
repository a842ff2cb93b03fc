#!/usr/bin/env python3
"""Checks tools/mutate on a tiny project of its own (a library of two files
and one GoogleTest executable), in about a minute:

    python3 tools/mutate_test.py

- a test that fails on the unchanged tree is named and never counts;
- a test that fails again on the restored tree is named as flaky, left out,
  and the fault planted once more without it;
- a fault a test catches counts, one no test sees is listed as a survivor;
- the working tree is never written, and a run killed by SIGKILL while a
  fault is planted leaves it in the copy only, which the next run restores;
- --minutes takes the changed files in turn, and stops planting in time.
"""
import hashlib
import os
import signal
import subprocess
import sys
import tempfile
import time
import unittest

TOOL = os.path.join(os.path.dirname(os.path.abspath(__file__)), "mutate")

FILES = {
    "CMakeLists.txt": """cmake_minimum_required(VERSION 3.16)
project(fake CXX)
set(CMAKE_CXX_STANDARD 17)
find_package(GTest REQUIRED)
file(GLOB sources CONFIGURE_DEPENDS lib/*.cpp)  # as the project globs its sources
add_library(calc STATIC ${sources})
target_include_directories(calc PUBLIC lib)
add_subdirectory(tests)
""",
    "tests/CMakeLists.txt": """add_executable(test_calc calc_test.cpp)
target_link_libraries(test_calc calc GTest::gtest GTest::gtest_main)
""",
    "lib/calc.h": "bool positive(int x);\nint unused(int x);\nint twice(int x);\n",
    "lib/calc.cpp": '#include "calc.h"\nbool positive(int x) { return x; }\nint unused(int x) { return x; }\n',
    "lib/other.cpp": '#include "calc.h"\nint twice(int x) { return x; }\n',
    # A.Flaky passes on its first run only (the unchanged tree's), whatever is planted.
    "tests/calc_test.cpp": """#include <gtest/gtest.h>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include "calc.h"
TEST(A, Flaky) {
  const char* state = std::getenv("FAKE_STATE");
  FILE* f = state ? std::fopen(state, "a+") : nullptr;
  ASSERT_TRUE(f);
  std::fseek(f, 0, SEEK_END);
  const long runs = std::ftell(f);
  std::fputc('x', f);
  std::fclose(f);
  EXPECT_EQ(runs, 0);
}
TEST(B, AlwaysFails) { FAIL() << "on any tree"; }
TEST(C, Positive) {
  if (std::getenv("FAKE_SLOW")) std::this_thread::sleep_for(std::chrono::seconds(30));
  EXPECT_TRUE(positive(1));
  EXPECT_FALSE(positive(0));
  EXPECT_EQ(twice(4), 8);
}
""",
}

# The change under test: lines the tests check (positive, twice) and lines no test reaches (unused).
CHANGED = {
    "lib/calc.cpp": """#include "calc.h"
bool positive(int x) {
  return x > 0;
}
int unused(int x) {
  if (x == 3) return 4;
  return x;
}
""",
    "lib/other.cpp": """#include "calc.h"
int twice(int x) {
  return x * 2;
}
int thrice(int x) {
  return x * 3 + 0;
}
""",
}


def digest(folder, names):
    h = hashlib.sha256()
    for name in sorted(names):
        with open(os.path.join(folder, name), "rb") as f:
            h.update(name.encode() + b"\0" + f.read())
    return h.hexdigest()


class MutateTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.temp = tempfile.TemporaryDirectory(prefix="mutate-test-")
        cls.root = os.path.join(cls.temp.name, "project")
        for name, text in FILES.items():
            path = os.path.join(cls.root, name)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "w") as f:
                f.write(text)
        git = lambda *args: subprocess.run(["git", "-c", "user.name=t", "-c", "user.email=t@t"] + list(args),
                                           cwd=cls.root, check=True, capture_output=True)
        git("init", "-q")
        git("add", "-A")
        git("commit", "-q", "-m", "base")
        cls.base = subprocess.run(["git", "rev-parse", "HEAD"], cwd=cls.root, capture_output=True, text=True,
                                  check=True).stdout.strip()
        for name, text in CHANGED.items():
            with open(os.path.join(cls.root, name), "w") as f:
                f.write(text)
        cls.sources = list(FILES)
        cls.tree = digest(cls.root, cls.sources)

    @classmethod
    def tearDownClass(cls):
        cls.temp.cleanup()

    def mutate(self, *args, env=None):
        state = os.path.join(self.temp.name, "state-%d" % time.monotonic_ns())
        return subprocess.Popen([sys.executable, TOOL, "--base", self.base, "--jobs", "2", "--limit", "120"] +
                                list(args), cwd=self.root, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                text=True, start_new_session=True,
                                env=dict(os.environ, FAKE_STATE=state, **(env or {})))

    def test_1_counts_only_what_the_fault_made_fail(self):
        run = self.mutate("--per-line", "1", "lib/calc.cpp")
        out, _ = run.communicate(timeout=900)
        self.assertIn("failing on the unchanged tree, not counted: tests/test_calc B.AlwaysFails", out)
        self.assertIn("flaky (failed on the restored tree too, not counted): tests/test_calc A.Flaky", out)
        self.assertIn("caught by tests/test_calc C.Positive", out)
        self.assertRegex(out, r"survivors:\n  lib/calc.cpp:6: ")
        self.assertIn("planted 2, caught 1, survived 1", out.splitlines()[-1], out)
        self.assertEqual(digest(self.root, self.sources), self.tree, "the working tree was written")

    def test_2_a_run_killed_while_a_fault_is_planted_is_put_right_by_the_next(self):
        copy = os.path.join(self.root, "build", "mutate-tree", "lib", "calc.cpp")
        run = self.mutate("--per-line", "1", "lib/calc.cpp", env={"FAKE_SLOW": "1"})
        planted = False
        deadline = time.time() + 600
        while not planted and run.poll() is None and time.time() < deadline:  # until a fault stands anywhere
            time.sleep(0.2)
            for path in (copy, os.path.join(self.root, "lib", "calc.cpp")):
                if os.path.exists(path):
                    with open(path) as f:
                        planted = planted or f.read() != CHANGED["lib/calc.cpp"]
        try:
            os.killpg(run.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        run.communicate()
        self.assertTrue(planted, "no fault was planted before the run ended")
        self.assertEqual(digest(self.root, self.sources), self.tree, "the working tree was written")
        out, _ = self.mutate("--max", "1", "lib/other.cpp").communicate(timeout=900)
        self.assertIn("(1 files written)", out)
        with open(copy) as f:
            self.assertEqual(f.read(), CHANGED["lib/calc.cpp"])
        self.assertEqual(digest(self.root, self.sources), self.tree)

    def test_3_minutes_take_the_files_in_turn(self):
        out, _ = self.mutate("--list", "--minutes", "1").communicate(timeout=60)
        files = [line.split(":")[0] for line in out.splitlines() if line.startswith("lib/")]
        self.assertEqual(files[:4], ["lib/calc.cpp", "lib/other.cpp"] * 2, out)
        self.assertEqual(sorted(set(files)), ["lib/calc.cpp", "lib/other.cpp"])
        out, _ = self.mutate("--minutes", "0.0001").communicate(timeout=900)
        self.assertRegex(out, r"minutes have passed: \d+ faults left unplanted", out)
        self.assertIn("planted 0, caught 0, survived 0", out)


if __name__ == "__main__":
    unittest.main(verbosity=2)
