// Builders for record query, download and replay, with their cancellations.

#include "signaling/builder_util.h"
#include "signaling/vq_builders.h"

using namespace sigbus;

namespace {

struct Section {
  int part_no, con_no, sect_no, size, offset;
};

void put_section(vq_msg* msg, const Section& s) {
  put(msg, "part_no", s.part_no);
  put(msg, "con_no", s.con_no);
  put(msg, "sect_no", s.sect_no);
  put(msg, "size", s.size);
  put(msg, "offset", s.offset);
}

void put_ssrcs(vq_msg* msg, unsigned client_audio, unsigned client_video, unsigned terminal_audio,
               unsigned terminal_video) {
  put(msg, "client_video_ssrc", client_video);
  put(msg, "client_audio_ssrc", client_audio);
  put(msg, "terminal_video_ssrc", terminal_video);
  put(msg, "terminal_audio_ssrc", terminal_audio);
}

bool media_side(const char* dir) { return dir_is(dir, {kControlToMedia, kMediaToControl}); }
bool client_side(const char* dir) { return dir_is(dir, {kClientToControl, kControlToClient}); }
bool terminal_side(const char* dir) {
  return dir_is(dir, {kTerminalToControl, kControlToTerminal});
}

}  // namespace

vq_msg* vq_msg_record_query(const char* dir, const char* puid, const char* clientid,
                            unsigned int channel, int record_type, int from_disk,
                            const char* begin_date, const char* end_date) {
  vq_msg* msg = vq_msg_create(dir, "RECORD_QUERY");
  put(msg, "puid", puid);
  put(msg, "channel", channel);
  put(msg, "record_type", record_type);
  put(msg, "from_disk", from_disk);
  put(msg, "begin_date", begin_date);
  put(msg, "end_date", end_date);
  if (dir_is(dir, {kControlToTerminal})) put(msg, "clientid", clientid);
  return msg;
}

vq_msg* vq_msg_record_query_ack(const char* dir, const char* puid, unsigned int channel,
                                int record_type, int from_disk, const char* begin_date,
                                const char* end_date, int total_num, int start_idx, int cur_num,
                                const char* data) {
  vq_msg* msg = vq_msg_create(dir, "RECORD_QUERY_RESULT");
  put(msg, "puid", puid);
  put(msg, "channel", channel);
  put(msg, "record_type", record_type);
  put(msg, "from_disk", from_disk);
  put(msg, "begin_date", begin_date);
  put(msg, "end_date", end_date);
  put(msg, "total_num", total_num);
  put(msg, "start_idx", start_idx);
  put(msg, "cur_num", cur_num);
  put(msg, "data", data);
  return msg;
}

vq_msg* vq_msg_record_download(const char* dir, const char* puid, const char* clientid, int part_no,
                               int con_no, int sect_no, int size, int offset, int start_no,
                               const char* from_disk, const char* mediaserver_ip,
                               int mediaserver_port) {
  vq_msg* msg = vq_msg_create(dir, "RECORD_DOWNLOAD_REQ");
  put(msg, "puid", puid);
  if (dir_is(dir, {kControlToMedia})) {
    vq_msg_set_frame_type(msg, "DOWNLOAD_START_REQ");
  } else if (dir_is(dir, {kClientToControl, kControlToTerminal})) {
    put(msg, "type", 1);
    put(msg, "from_disk", from_disk);
    put_section(msg, {part_no, con_no, sect_no, size, offset});
    put(msg, "start_no", start_no);
    if (dir_is(dir, {kControlToTerminal})) {
      put(msg, "clientid", clientid);
      put(msg, "mediaserver_ip", mediaserver_ip);
      put(msg, "mediaserver_port", mediaserver_port);
    }
  }
  return msg;
}

vq_msg* vq_msg_record_download_ack(const char* dir, const char* puid, int result,
                                   const char* mediaserver_ip, int mediaserver_port) {
  vq_msg* msg = vq_msg_create(dir, "RECORD_DOWNLOAD_ACK");
  put(msg, "puid", puid);
  put(msg, "result", result);
  if (dir_is(dir, {kMediaToControl})) {
    vq_msg_set_frame_type(msg, "DOWNLOAD_START_ACK");
    put(msg, "mediaserver_port", mediaserver_port);
  } else if (dir_is(dir, {kTerminalToControl})) {
    put(msg, "type", 1);
  } else if (dir_is(dir, {kControlToClient})) {
    put(msg, "type", 1);
    put(msg, "mediaserver_ip", mediaserver_ip);
    put(msg, "mediaserver_port", mediaserver_port);
  }
  return msg;
}

vq_msg* vq_msg_record_cancel_download(const char* dir, const char* puid, int part_no, int con_no,
                                      int sect_no, int size, int offset, int start_no,
                                      const char* from_disk) {
  vq_msg* msg = vq_msg_create(dir, "RECORD_DOWNLOAD_REQ");
  put(msg, "puid", puid);
  if (media_side(dir)) {
    vq_msg_set_frame_type(msg, "DOWNLOAD_STOP_REQ");
  } else if (client_side(dir)) {
    put(msg, "type", 0);
  } else if (terminal_side(dir)) {
    put(msg, "type", 0);
    put_section(msg, {part_no, con_no, sect_no, size, offset});
    put(msg, "start_no", start_no);
    put(msg, "from_disk", from_disk);
  }
  return msg;
}

vq_msg* vq_msg_record_cancel_download_ack(const char* dir, const char* puid, int result) {
  vq_msg* msg = vq_msg_create(dir, "RECORD_DOWNLOAD_REQ");
  put(msg, "puid", puid);
  put(msg, "result", result);
  if (media_side(dir)) {
    vq_msg_set_frame_type(msg, "DOWNLOAD_STOP_ACK");
  } else if (client_side(dir) || terminal_side(dir)) {
    put(msg, "type", 0);
  }
  return msg;
}

vq_msg* vq_msg_record_replay(const char* dir, const char* puid, const char* clientid, int part_no,
                             int con_no, int sect_no, int size, int offset, int ntp,
                             const char* from_disk, const char* mediaserver_ip,
                             int mediaserver_port, unsigned int client_audio_ssrc,
                             unsigned int client_video_ssrc, unsigned int terminal_audio_ssrc,
                             unsigned int terminal_video_ssrc) {
  vq_msg* msg = vq_msg_create(dir, "RECORD_REPLAY_REQ");
  put(msg, "puid", puid);
  if (dir_is(dir, {kControlToMedia})) {
    vq_msg_set_frame_type(msg, "REPALY_START_REQ");
    put_ssrcs(msg, client_audio_ssrc, client_video_ssrc, terminal_audio_ssrc, terminal_video_ssrc);
  } else if (dir_is(dir, {kClientToControl, kControlToTerminal})) {
    put(msg, "type", 1);
    put(msg, "from_disk", from_disk);
    put_section(msg, {part_no, con_no, sect_no, size, offset});
    put(msg, "ntp", ntp);
    if (dir_is(dir, {kControlToTerminal})) {
      put(msg, "clientid", clientid);
      put(msg, "mediaserver_ip", mediaserver_ip);
      put(msg, "mediaserver_port", mediaserver_port);
      put(msg, "videossrc", terminal_video_ssrc);
      put(msg, "audiossrc", terminal_audio_ssrc);
    }
  }
  return msg;
}

vq_msg* vq_msg_record_replay_ack(const char* dir, const char* puid, int result,
                                 const char* mediaserver_ip, int mediaserver_port, int /*reserved*/,
                                 unsigned int audiossrc, unsigned int videossrc) {
  vq_msg* msg = vq_msg_create(dir, "RECORD_REPLAY_ACK");
  put(msg, "puid", puid);
  put(msg, "result", result);
  if (dir_is(dir, {kControlToMedia})) {
    vq_msg_set_frame_type(msg, "REPALY_START_ACK");
  } else if (dir_is(dir, {kClientToControl})) {
    put(msg, "type", 0);
    put(msg, "mediaserver_ip", mediaserver_ip);
    put(msg, "mediaserver_port", mediaserver_port);
    put(msg, "videossrc", videossrc);
    put(msg, "audiossrc", audiossrc);
  } else if (dir_is(dir, {kControlToTerminal})) {
    put(msg, "type", 0);
  }
  return msg;
}

vq_msg* vq_msg_record_cancel_replay(const char* dir, const char* puid, int part_no, int con_no,
                                    int sect_no, int size, int offset, int start_no,
                                    const char* from_disk, unsigned int client_audio_ssrc,
                                    unsigned int client_video_ssrc,
                                    unsigned int terminal_audio_ssrc,
                                    unsigned int terminal_video_ssrc) {
  vq_msg* msg = vq_msg_create(dir, "REPALY_STOP_REQ");
  put(msg, "puid", puid);
  if (media_side(dir)) {
    put_ssrcs(msg, client_audio_ssrc, client_video_ssrc, terminal_audio_ssrc, terminal_video_ssrc);
  } else if (client_side(dir)) {
    put(msg, "type", 0);
  } else if (terminal_side(dir)) {
    put(msg, "type", 0);
    put(msg, "from_disk", from_disk);
    put_section(msg, {part_no, con_no, sect_no, size, offset});
    put(msg, "start_no", start_no);
  }
  return msg;
}

vq_msg* vq_msg_record_cancel_replay_ack(const char* dir, const char* puid, int result) {
  vq_msg* msg = vq_msg_create(dir, "REPLAY_STOP_ACK");
  put(msg, "puid", puid);
  put(msg, "result", result);
  return msg;
}
