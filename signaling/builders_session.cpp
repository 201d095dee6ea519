// Builders for login, logout, keep-alive, control-server query, resource usage and live video.

#include "signaling/builder_util.h"
#include "signaling/vq_builders.h"

using namespace sigbus;

vq_msg* vq_msg_login(const char* dir, const char* clientid, const char* passwd,
                     const char* terminalid) {
  vq_msg* msg = vq_msg_create(dir, "LOGIN");
  put(msg, "clientid", clientid);
  if (dir_is(dir, {kClientToControl})) {
    put(msg, "terminalid", terminalid);
    put(msg, "devicetype", "client");
    put(msg, "passwd", passwd);
  } else if (dir_is(dir, {kTerminalToControl})) {
    put(msg, "passwd", passwd);
    put(msg, "devicetype", "terminal");
  } else if (dir_is(dir, {kMediaToControl})) {
    put(msg, "devicetype", "media");
  } else if (dir_is(dir, {kControlToLoginServer})) {
    put(msg, "devicetype", "control");
  }
  return msg;
}

vq_msg* vq_msg_login_ack(const char* dir, int result) {
  vq_msg* msg = vq_msg_create(dir, "LOGIN_RESULT");
  put(msg, "result", result);
  return msg;
}

vq_msg* vq_msg_logouot(const char* dir) { return vq_msg_create(dir, "TERMDOWN"); }

vq_msg* vq_msg_logout_ack(const char* dir) { return vq_msg_create(dir, "TERMDOWN_ACK"); }

vq_msg* vq_msg_keepalive(const char* dir) { return vq_msg_create(dir, "KEEPALIVE"); }

vq_msg* vq_msg_keepalive_ack(const char* dir) { return vq_msg_create(dir, "KEEPALIVE_ACK"); }

vq_msg* vq_msg_query_control_server(const char* dir, const char* clientid, const char* terminalid) {
  vq_msg* msg = vq_msg_create(dir, "GET_CONTROL");
  put(msg, "clientid", clientid);
  if (dir_is(dir, {kClientToLoginServer})) put(msg, "terminalid", terminalid);
  return msg;
}

vq_msg* vq_msg_query_control_ack(const char* dir, int result, const char* controlserver_ip,
                                 int controlserver_port, const char* terminalid, int state) {
  vq_msg* msg = vq_msg_create(dir, "GET_CONTROL_RESULT");
  put(msg, "result", result);
  put(msg, "controlserver_ip", controlserver_ip);
  put(msg, "controlserver_port", controlserver_port);
  if (dir_is(dir, {kLoginServerToClient})) {
    put(msg, "terminalid", terminalid);
    put(msg, "state", state);
  }
  return msg;
}

vq_msg* vq_msg_resource_usage_to_control(const char* dir, int clientcount, int terminalcount,
                                         int inputsession, int outputsession) {
  vq_msg* msg = vq_msg_create(dir, "RESOURCES_USED");
  if (dir_is(dir, {kMediaToControl})) {
    put(msg, "inputsession", inputsession);
    put(msg, "outputsession", outputsession);
    put(msg, "clientcount", clientcount);
    put(msg, "terminalcount", terminalcount);
  }
  return msg;
}

vq_msg* vq_msg_live_video(const char* dir, const char* puid, int channel, int mediatype,
                          const char* clientid, const char* terminalid, const char* mediaserver_ip,
                          int mediaserver_port, unsigned int client_ssrc,
                          unsigned int terminal_ssrc) {
  vq_msg* msg = vq_msg_create(dir, "LIVE_MEDIA_REQ");
  put(msg, "puid", puid);
  put(msg, "channel", channel);
  put(msg, "mediatype", mediatype);
  if (dir_is(dir, {kControlToMedia})) {
    vq_msg_set_frame_type(msg, "LIVE_START_REQ");
    put(msg, "clientid", clientid);
    put(msg, "terminalid", terminalid);
    put(msg, "client_ssrc", client_ssrc);
    put(msg, "terminal_ssrc", terminal_ssrc);
  } else if (dir_is(dir, {kControlToTerminal})) {
    put(msg, "type", 1);
    put(msg, "clientid", clientid);
    put(msg, "mediaserver_ip", mediaserver_ip);
    put(msg, "mediaserver_port", mediaserver_port);
    put(msg, "media_ssrc", terminal_ssrc);
  } else if (dir_is(dir, {kClientToControl})) {
    put(msg, "type", 1);
  }
  return msg;
}

vq_msg* vq_msg_live_video_ack(const char* dir, const char* puid, int result,
                              const char* mediaserver_ip, int mediaserver_port,
                              int mediaserver_terminal_port, int media_ssrc, int videofps,
                              int videosize) {
  vq_msg* msg = vq_msg_create(dir, "LIVE_MEDIA_ACK");
  put(msg, "puid", puid);
  put(msg, "result", result);
  if (dir_is(dir, {kMediaToControl})) {
    vq_msg_set_frame_type(msg, "LIVE_START_ACK");
    put(msg, "mediaserver_client_port", mediaserver_port);
    put(msg, "mediaserver_terminal_port", mediaserver_terminal_port);
  } else if (dir_is(dir, {kTerminalToControl})) {
    put(msg, "type", 1);
    put(msg, "videofps", videofps);
    put(msg, "videosize", videosize);
  } else if (dir_is(dir, {kControlToClient})) {
    put(msg, "type", 1);
    put(msg, "mediaserver_ip", mediaserver_ip);
    put(msg, "mediaserver_port", mediaserver_port);
    put(msg, "media_ssrc", media_ssrc);
    put(msg, "videofps", videofps);
    put(msg, "videosize", videosize);
  }
  return msg;
}

vq_msg* vq_msg_cancal_live_video(const char* dir, const char* puid, int channel, int mediatype,
                                 unsigned int client_ssrc, unsigned int terminal_ssrc) {
  vq_msg* msg = vq_msg_create(dir, "LIVE_MEDIA_REQ");
  put(msg, "puid", puid);
  if (dir_is(dir, {kControlToMedia, kMediaToControl})) {
    vq_msg_set_frame_type(msg, "LIVE_STOP_REQ");
    put(msg, "client_ssrc", client_ssrc);
    put(msg, "terminal_ssrc", terminal_ssrc);
  } else if (dir_is(dir, {kClientToControl, kControlToClient})) {
    vq_msg_set_frame_type(msg, "LIVE_STOP_REQ");
  } else if (dir_is(dir, {kTerminalToControl, kControlToTerminal})) {
    vq_msg_set_frame_type(msg, "LIVE_STOP_REQ");
    put(msg, "channel", channel);
    put(msg, "mediatype", mediatype);
  }
  return msg;
}

vq_msg* vq_msg_cancel_live_video_ack(const char* dir, const char* puid, int result) {
  vq_msg* msg = vq_msg_create(dir, "LIVE_MEDIA_ACK");
  put(msg, "puid", puid);
  put(msg, "result", result);
  if (dir_is(dir, {kControlToMedia, kMediaToControl})) {
    vq_msg_set_frame_type(msg, "LIVE_STOP_ACK");
  } else if (dir_is(dir,
                    {kClientToControl, kControlToClient, kTerminalToControl, kControlToTerminal})) {
    // Deployed peers expect the request's type here, not LIVE_STOP_ACK.
    vq_msg_set_frame_type(msg, "LIVE_STOP_REQ");
  }
  return msg;
}
