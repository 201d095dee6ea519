#!/usr/bin/python3
"""H.264 and H.265 test streams served over RTSP on 127.0.0.1 by GStreamer's RTSP server.

The H.264 stream is mounted at --path (default /test), the H.265 one at /h265 when x265enc
is installed, and with --file a Matroska file's H.264 video at /file, played from the file (so it
has a length, and PAUSE and PLAY with a range pause it and seek in it); its parameter sets are sent only at the start of the encoder's output, so a
client that joins later depends on the description's sprop-vps/sps/pps.

Prints the bound port on the first line of standard output once it accepts connections,
"teardown" when a client tears its session down, and exits shortly after that or after
--lifetime seconds, whichever comes first.
"""
import argparse
import sys

import gi

gi.require_version("Gst", "1.0")
gi.require_version("GstRtsp", "1.0")
gi.require_version("GstRtspServer", "1.0")
from gi.repository import GLib, Gst, GstRtsp, GstRtspServer  # noqa: E402

PIPELINE = ("( videotestsrc is-live=true pattern={pattern} ! video/x-raw,width=352,height=288,framerate=25/1 "
            "! x264enc tune=zerolatency speed-preset=ultrafast key-int-max=25 "
            "! rtph264pay name=pay0 pt=96 config-interval=1 )")
# A pattern of plain colour bars (SMPTE 100%), easy to tell from the simulator's pictures.
PIPELINE_H265 = ("( videotestsrc is-live=true pattern=smpte100 "
                 "! video/x-raw,format=I420,width=352,height=288,framerate=25/1 "
                 "! x265enc tune=zerolatency speed-preset=ultrafast key-int-max=25 "
                 "! rtph265pay name=pay0 pt=96 )")
PIPELINE_FILE = ("( filesrc location=\"{path}\" ! matroskademux ! h264parse "
                 "! rtph264pay name=pay0 pt=96 config-interval=1 )")


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--path", default="/test", help="mount point of the stream")
    parser.add_argument("--lifetime", type=int, default=60, help="seconds before giving up")
    parser.add_argument("--session-timeout", type=int, default=0,
                        help="session timeout in seconds, sent as ';timeout=' (0: the default)")
    parser.add_argument("--pattern", default="smpte",
                        help="videotestsrc pattern of the H.264 stream (snow: many packets)")
    parser.add_argument("--file", help="a Matroska file with H.264 video to serve at /file")
    parser.add_argument("--tcp-only", action="store_true",
                        help="refuse RTP over UDP (461), so that clients interleave it")
    args = parser.parse_args()

    Gst.init(None)
    loop = GLib.MainLoop()
    server = GstRtspServer.RTSPServer()
    server.set_address("127.0.0.1")
    server.set_service("0")
    factory = GstRtspServer.RTSPMediaFactory()
    factory.set_launch(PIPELINE.format(pattern=args.pattern))
    factory.set_shared(True)
    if args.tcp_only:
        factory.set_protocols(GstRtsp.RTSPLowerTrans.TCP)
    server.get_mount_points().add_factory(args.path, factory)
    if Gst.ElementFactory.find("x265enc") is not None:
        hevc = GstRtspServer.RTSPMediaFactory()
        hevc.set_launch(PIPELINE_H265)
        hevc.set_shared(True)
        server.get_mount_points().add_factory("/h265", hevc)

    def on_teardown(_client, _context):
        print("teardown", flush=True)
        GLib.timeout_add(500, loop.quit)

    def on_client(_server, client):
        client.connect("teardown-request", on_teardown)
        if args.session_timeout > 0:
            client.connect("new-session",
                           lambda _c, session: session.set_timeout(args.session_timeout))

    if args.file:
        recording = GstRtspServer.RTSPMediaFactory()
        recording.set_launch(PIPELINE_FILE.format(path=args.file))
        server.get_mount_points().add_factory("/file", recording)

    server.connect("client-connected", on_client)
    if server.attach(None) == 0:
        print("cannot attach the RTSP server", file=sys.stderr)
        return 1
    print(server.get_bound_port(), flush=True)
    GLib.timeout_add_seconds(args.lifetime, loop.quit)
    loop.run()
    return 0


if __name__ == "__main__":
    sys.exit(main())
