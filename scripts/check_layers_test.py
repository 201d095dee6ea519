#!/usr/bin/env python3
"""The layer check on small fake trees: what it lets through and what it reports, with where."""

import os
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import check_layers  # noqa: E402


class LayerCheckTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.root = self.dir.name

    def tearDown(self):
        self.dir.cleanup()

    def write(self, rel, *lines):
        path = os.path.join(self.root, rel)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "w") as f:
            f.write("\n".join(lines) + "\n")

    def faults(self):
        return check_layers.check(self.root)

    def test_a_tree_that_keeps_the_rule_passes(self):
        self.write("platform/net/net.h", "#include <sys/socket.h>", "#include <unistd.h>")
        self.write("videolib/channel.h", '#include "platform/net/net.h"', "#include <vector>",
                   "#include <stdint.h>", "#include <immintrin.h>")
        self.write("stream/session.cpp", '#include "videolib/channel.h"',
                   '#include "voice/codec.h"', '#include "local.h"')
        self.write("stream/local.h", "#include <cstdint>")
        self.write("signaling/engine.cpp", "#include <boost/asio/io_context.hpp>")
        self.write("tools/orvix/host.cpp", '#include "control/viewer.h"',
                   '#include "tools/dvrsim/picture.h"')
        self.write("tools/dvrsim/encoder.cpp", "#include <libavcodec/avcodec.h>")
        self.write("README.md", "#include <unistd.h>")  # not a source file
        self.assertEqual(self.faults(), [])

    def test_os_headers_outside_the_platform_are_reported_with_file_and_line(self):
        self.write("videolib/thread.cpp", "#include <thread>", "", "#include <pthread.h>")
        self.write("control/grid.cpp", '#include "windows.h"')
        self.write("tools/orvix/main.cpp", "#include <sys/socket.h>")
        faults = self.faults()
        self.assertEqual(len(faults), 3, faults)
        self.assertTrue(faults[0].startswith('control/grid.cpp:1: #include "windows.h"'), faults)
        self.assertTrue(faults[1].startswith("tools/orvix/main.cpp:1: #include <sys/socket.h>"))
        self.assertTrue(faults[2].startswith("videolib/thread.cpp:3: #include <pthread.h>"))

    def test_includes_up_the_layers_are_reported(self):
        self.write("videolib/bench/live_bench.cpp", '#include "control/session_run.h"',
                   '#include "stream/rtsp_session.h"')
        self.write("platform/ui/ui.cpp", '#include "videolib/channel.h"')
        self.write("signaling/log.cpp", '#include "platform/kernel/clock.h"')
        self.write("tools/dvrsim/session.cpp", '#include "stream/sdp.h"')
        self.write("stream/relative.cpp", '#include "../control/grid.h"')
        self.write("control/grid.h", "")
        faults = self.faults()
        places = [f.split(": #include")[0] for f in faults]
        self.assertEqual(places, ["platform/ui/ui.cpp:1", "signaling/log.cpp:1",
                                  "stream/relative.cpp:1", "tools/dvrsim/session.cpp:1",
                                  "videolib/bench/live_bench.cpp:1",
                                  "videolib/bench/live_bench.cpp:2"])
        self.assertIn("videolib/ may not include control/", faults[4])

    def test_tests_and_benchmarks_may_use_the_simulator_and_test_frameworks_only(self):
        self.write("stream/audio_live_test.cpp", '#include "tools/dvrsim/media.h"',
                   "#include <gtest/gtest.h>")
        self.write("videolib/bench/convert_bench.cpp", "#include <benchmark/benchmark.h>",
                   "#include <libswscale/swscale.h>")
        self.write("stream/test_server.h", "#include <gmock/gmock.h>")
        self.write("tools/dvrsim/test_client.cpp", '#include "stream/rtp_header.h"')
        self.assertEqual(self.faults(), [])
        self.write("tools/dvrsim/session.cpp", '#include "stream/rtp_header.h"')
        self.assertEqual(len(self.faults()), 1)
        os.remove(os.path.join(self.root, "tools/dvrsim/session.cpp"))
        self.write("stream/session.cpp", '#include "tools/dvrsim/media.h"',
                   "#include <gtest/gtest.h>")
        self.write("videolib/convert.cpp", "#include <libswscale/swscale.h>")
        self.write("stream/session_test.cpp", '#include "control/grid.h"')
        faults = self.faults()
        self.assertEqual([f.split(": #include")[0] for f in faults],
                         ["stream/session.cpp:1", "stream/session.cpp:2",
                          "stream/session_test.cpp:1", "videolib/convert.cpp:1"], faults)

    def test_third_party_headers_only_in_their_layer(self):
        self.write("videolib/surface.cpp", "#include <boost/asio.hpp>")
        self.write("stream/sdp.cpp", "#include <libavcodec/avcodec.h>")
        self.assertEqual(len(self.faults()), 2)

    def test_comments_are_not_includes(self):
        self.write("videolib/a.cpp", "// #include <unistd.h>", "/* #include <unistd.h>",
                   "#include <sys/mman.h> */", "int x; /* c */ #include <vector>",
                   "/* a */ #include <poll.h>")
        faults = self.faults()
        self.assertEqual(len(faults), 1, faults)
        self.assertTrue(faults[0].startswith("videolib/a.cpp:5: #include <poll.h>"))

    def test_a_folder_outside_the_table_is_reported(self):
        self.write("extras/setup.cpp", "#include <vector>")
        self.write("docs/notes.md", "")
        self.write("build/debug/gen.cpp", "#include <unistd.h>")  # build trees are skipped
        self.assertEqual(self.faults(), [
            "extras/: holds C/C++ sources but has no line in the layer table of "
            "scripts/check_layers.py"])

    def test_the_program_exits_1_on_a_fault_and_0_on_a_clean_tree(self):
        script = os.path.join(HERE, "check_layers.py")
        self.write("voice/codec.cpp", "#include <cstdint>")
        ok = subprocess.run([sys.executable, script, "--root", self.root],
                            capture_output=True, text=True)
        self.assertEqual(ok.returncode, 0, ok.stdout + ok.stderr)
        self.write("voice/codec.cpp", "#include <cstdint>", "#include <alsa/asoundlib.h>")
        bad = subprocess.run([sys.executable, script, "--root", self.root],
                             capture_output=True, text=True)
        self.assertEqual(bad.returncode, 1)
        self.assertIn("voice/codec.cpp:2: #include <alsa/asoundlib.h>", bad.stdout)
        missing = subprocess.run([sys.executable, script, "--root", self.root + "/none"],
                                 capture_output=True, text=True)
        self.assertEqual(missing.returncode, 2)
        self.assertIn("no such folder", missing.stderr)


if __name__ == "__main__":
    unittest.main()
