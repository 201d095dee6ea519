#pragma once

// Builders of the common signaling messages. Each creates a message with vq_msg_create(dir,
// type) and fills the frame entries that its direction calls for; the result belongs to the
// caller. Integers are stored as "%d" text, so unsigned values above 2147483647 appear as
// negative numbers. Parameters that the direction does not use are ignored.

#include "signaling/sigbus_export.h"
#include "signaling/vq_msg.h"

SIGBUS_EXPORT vq_msg* vq_msg_login(const char* dir, const char* clientid, const char* passwd,
                                   const char* terminalid);
SIGBUS_EXPORT vq_msg* vq_msg_login_ack(const char* dir, int result);
SIGBUS_EXPORT vq_msg* vq_msg_logouot(const char* dir);
SIGBUS_EXPORT vq_msg* vq_msg_logout_ack(const char* dir);
SIGBUS_EXPORT vq_msg* vq_msg_keepalive(const char* dir);
SIGBUS_EXPORT vq_msg* vq_msg_keepalive_ack(const char* dir);
SIGBUS_EXPORT vq_msg* vq_msg_query_control_server(const char* dir, const char* clientid,
                                                  const char* terminalid);
SIGBUS_EXPORT vq_msg* vq_msg_query_control_ack(const char* dir, int result,
                                               const char* controlserver_ip, int controlserver_port,
                                               const char* terminalid, int state);
SIGBUS_EXPORT vq_msg* vq_msg_resource_usage_to_control(const char* dir, int clientcount,
                                                       int terminalcount, int inputsession,
                                                       int outputsession);

SIGBUS_EXPORT vq_msg* vq_msg_live_video(const char* dir, const char* puid, int channel,
                                        int mediatype, const char* clientid, const char* terminalid,
                                        const char* mediaserver_ip, int mediaserver_port,
                                        unsigned int client_ssrc, unsigned int terminal_ssrc);
SIGBUS_EXPORT vq_msg* vq_msg_live_video_ack(const char* dir, const char* puid, int result,
                                            const char* mediaserver_ip, int mediaserver_port,
                                            int mediaserver_terminal_port, int media_ssrc,
                                            int videofps, int videosize);
SIGBUS_EXPORT vq_msg* vq_msg_cancal_live_video(const char* dir, const char* puid, int channel,
                                               int mediatype, unsigned int client_ssrc,
                                               unsigned int terminal_ssrc);
SIGBUS_EXPORT vq_msg* vq_msg_cancel_live_video_ack(const char* dir, const char* puid, int result);

SIGBUS_EXPORT vq_msg* vq_msg_record_query(const char* dir, const char* puid, const char* clientid,
                                          unsigned int channel, int record_type, int from_disk,
                                          const char* begin_date, const char* end_date);
SIGBUS_EXPORT vq_msg* vq_msg_record_query_ack(const char* dir, const char* puid,
                                              unsigned int channel, int record_type, int from_disk,
                                              const char* begin_date, const char* end_date,
                                              int total_num, int start_idx, int cur_num,
                                              const char* data);
SIGBUS_EXPORT vq_msg* vq_msg_record_download(const char* dir, const char* puid,
                                             const char* clientid, int part_no, int con_no,
                                             int sect_no, int size, int offset, int start_no,
                                             const char* from_disk, const char* mediaserver_ip,
                                             int mediaserver_port);
SIGBUS_EXPORT vq_msg* vq_msg_record_download_ack(const char* dir, const char* puid, int result,
                                                 const char* mediaserver_ip, int mediaserver_port);
SIGBUS_EXPORT vq_msg* vq_msg_record_cancel_download(const char* dir, const char* puid, int part_no,
                                                    int con_no, int sect_no, int size, int offset,
                                                    int start_no, const char* from_disk);
SIGBUS_EXPORT vq_msg* vq_msg_record_cancel_download_ack(const char* dir, const char* puid,
                                                        int result);
SIGBUS_EXPORT vq_msg* vq_msg_record_replay(
    const char* dir, const char* puid, const char* clientid, int part_no, int con_no, int sect_no,
    int size, int offset, int ntp, const char* from_disk, const char* mediaserver_ip,
    int mediaserver_port, unsigned int client_audio_ssrc, unsigned int client_video_ssrc,
    unsigned int terminal_audio_ssrc, unsigned int terminal_video_ssrc);
SIGBUS_EXPORT vq_msg* vq_msg_record_replay_ack(const char* dir, const char* puid, int result,
                                               const char* mediaserver_ip, int mediaserver_port,
                                               int reserved, unsigned int audiossrc,
                                               unsigned int videossrc);
SIGBUS_EXPORT vq_msg* vq_msg_record_cancel_replay(const char* dir, const char* puid, int part_no,
                                                  int con_no, int sect_no, int size, int offset,
                                                  int start_no, const char* from_disk,
                                                  unsigned int client_audio_ssrc,
                                                  unsigned int client_video_ssrc,
                                                  unsigned int terminal_audio_ssrc,
                                                  unsigned int terminal_video_ssrc);
SIGBUS_EXPORT vq_msg* vq_msg_record_cancel_replay_ack(const char* dir, const char* puid,
                                                      int result);
