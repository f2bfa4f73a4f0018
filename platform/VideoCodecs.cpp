// The codecs behind VideoEncoder, built as the module vortane-video (see
// VideoBackend.h): only this file includes and links FFmpeg's libraries.
#include "platform/VideoBackend.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <vector>

namespace platform {

namespace {

std::string AvError(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return text;
}

// The codec's own rate when it has the input's, else 48000 Hz (Opus).
int SoundRateFor(const AVCodec* codec, int rate) {
  if (!codec->supported_samplerates) return rate;
  for (const int* r = codec->supported_samplerates; *r; ++r)
    if (*r == rate) return rate;
  return 48000;
}


struct VideoCodecs {
  std::string path;
  std::string partPath;
  AVFormatContext* format = nullptr;
  AVCodecContext* video = nullptr;
  AVCodecContext* sound = nullptr;
  AVStream* videoStream = nullptr;
  AVStream* soundStream = nullptr;
  SwsContext* scaler = nullptr;
  SwrContext* resampler = nullptr;
  AVAudioFifo* fifo = nullptr;
  AVFrame* picture = nullptr;
  AVFrame* samples = nullptr;
  AVPacket* packet = nullptr;
  std::int64_t nextPicture = 0;
  std::int64_t nextSample = 0;
  int width = 0;
  int height = 0;
  int soundChannels = 0;
  bool fileOpen = false;
  bool finished = false;

  ~VideoCodecs() {
    if (fileOpen) avio_closep(&format->pb);
    if (!finished && !partPath.empty()) std::remove(partPath.c_str());
    av_packet_free(&packet);
    av_frame_free(&samples);
    av_frame_free(&picture);
    if (fifo) av_audio_fifo_free(fifo);
    swr_free(&resampler);
    sws_freeContext(scaler);
    avcodec_free_context(&sound);
    avcodec_free_context(&video);
    avformat_free_context(format);
  }
};


using Codecs = VideoCodecs;

bool Fail(std::string& error, const std::string& what, int code = 0) {
  error = code ? what + ": " + AvError(code) : what;
  return false;
}

// Moves every packet the encoder has ready into the file.
bool Drain(Codecs& c, AVCodecContext* codec, AVStream* stream, std::string& error) {
  for (;;) {
    int result = avcodec_receive_packet(codec, c.packet);
    if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) return true;
    if (result < 0) return Fail(error, "the encoder failed", result);
    av_packet_rescale_ts(c.packet, codec->time_base, stream->time_base);
    c.packet->stream_index = stream->index;
    result = av_interleaved_write_frame(c.format, c.packet);
    if (result < 0) return Fail(error, "cannot write " + c.path, result);
  }
}

bool Encode(Codecs& c, AVCodecContext* codec, AVStream* stream, const AVFrame* frame, std::string& error) {
  const int result = avcodec_send_frame(codec, frame);
  if (result < 0) return Fail(error, "the encoder refused a frame", result);
  return Drain(c, codec, stream, error);
}

AVStream* AddStream(Codecs& c, AVCodecContext* codec, AVDictionary** options, std::string& error) {
  if (c.format->oformat->flags & AVFMT_GLOBALHEADER) codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  int result = avcodec_open2(codec, codec->codec, options);
  av_dict_free(options);
  if (result < 0) return Fail(error, std::string("cannot open the encoder ") + codec->codec->name, result), nullptr;
  AVStream* stream = avformat_new_stream(c.format, nullptr);
  if (!stream) return Fail(error, "out of memory"), nullptr;
  stream->time_base = codec->time_base;
  result = avcodec_parameters_from_context(stream->codecpar, codec);
  if (result < 0) return Fail(error, "bad stream parameters", result), nullptr;
  return stream;
}

bool OpenVideo(Codecs& c, const VideoSettings& s, bool webm, std::string& error) {
  const AVCodec* codec = avcodec_find_encoder_by_name(webm ? "libvpx-vp9" : "libx264");
  if (!codec) return Fail(error, std::string("this FFmpeg has no ") + (webm ? "VP9" : "H.264") + " encoder");
  c.video = avcodec_alloc_context3(codec);
  c.video->width = s.Width;
  c.video->height = s.Height;
  c.video->time_base = AVRational{1, s.Fps};
  c.video->framerate = AVRational{s.Fps, 1};
  c.video->pix_fmt = AV_PIX_FMT_YUV420P;
  c.video->gop_size = 2 * s.Fps;  // a key frame every 2 s keeps seeking quick
  // swscale converts with the BT.601 matrix in limited range: say so.
  c.video->colorspace = AVCOL_SPC_SMPTE170M;
  c.video->color_primaries = AVCOL_PRI_SMPTE170M;
  c.video->color_trc = AVCOL_TRC_SMPTE170M;
  c.video->color_range = AVCOL_RANGE_MPEG;
  AVDictionary* options = nullptr;
  if (webm) {
    // VP9's quality scale runs to 63.
    av_dict_set_int(&options, "crf", std::lround(s.Quality * 63.0 / 51.0), 0);
    av_dict_set(&options, "b", "0", 0);
    av_dict_set(&options, "deadline", "good", 0);
    av_dict_set(&options, "cpu-used", "5", 0);
    av_dict_set(&options, "row-mt", "1", 0);
  } else {
    av_dict_set_int(&options, "crf", s.Quality, 0);
    av_dict_set(&options, "preset", "veryfast", 0);
    av_dict_set(&options, "profile", "high", 0);
  }
  c.videoStream = AddStream(c, c.video, &options, error);
  if (!c.videoStream) return false;
  c.videoStream->avg_frame_rate = c.video->framerate;
  // Chroma filtered from every input pixel and rounded exactly: the
  // default's shortcuts cost several dB on sharp coloured edges. The area
  // filter (each chroma sample the mean of the pixels it covers) keeps
  // that quality at about two thirds of the bicubic filter's time.
  c.scaler = sws_getContext(s.Width, s.Height, AV_PIX_FMT_RGBA, s.Width, s.Height, AV_PIX_FMT_YUV420P,
                            SWS_AREA | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INP, nullptr, nullptr, nullptr);
  c.picture = av_frame_alloc();
  if (!c.picture) return Fail(error, "out of memory");
  c.picture->format = AV_PIX_FMT_YUV420P;
  c.picture->width = s.Width;
  c.picture->height = s.Height;
  if (!c.scaler || av_frame_get_buffer(c.picture, 0) < 0) return Fail(error, "out of memory");
  return true;
}

bool OpenSound(Codecs& c, const VideoSettings& s, bool webm, std::string& error) {
  const AVCodec* codec = avcodec_find_encoder_by_name(webm ? "libopus" : "aac");
  if (!codec) return Fail(error, std::string("this FFmpeg has no ") + (webm ? "Opus" : "AAC") + " encoder");
  c.sound = avcodec_alloc_context3(codec);
  c.sound->sample_rate = SoundRateFor(codec, s.SoundRate);
  c.sound->sample_fmt = codec->sample_fmts ? codec->sample_fmts[0] : AV_SAMPLE_FMT_FLTP;
  av_channel_layout_default(&c.sound->ch_layout, s.SoundChannels);
  c.sound->bit_rate = webm ? 128000 : 192000;
  c.sound->time_base = AVRational{1, c.sound->sample_rate};
  AVDictionary* options = nullptr;
  c.soundStream = AddStream(c, c.sound, &options, error);
  if (!c.soundStream) return false;
  AVChannelLayout input;
  av_channel_layout_default(&input, s.SoundChannels);
  int result = swr_alloc_set_opts2(&c.resampler, &c.sound->ch_layout, c.sound->sample_fmt, c.sound->sample_rate,
                                   &input, AV_SAMPLE_FMT_S16, s.SoundRate, 0, nullptr);
  if (result < 0 || (result = swr_init(c.resampler)) < 0) return Fail(error, "cannot convert the sound", result);
  c.soundChannels = s.SoundChannels;
  c.fifo = av_audio_fifo_alloc(c.sound->sample_fmt, c.sound->ch_layout.nb_channels, 4096);
  c.samples = av_frame_alloc();
  if (!c.fifo || !c.samples) return Fail(error, "out of memory");
  return true;
}

// Encodes whole codec frames from the FIFO; with last, also the rest.
bool EncodeFifo(Codecs& c, bool last, std::string& error) {
  const int frameSize = c.sound->frame_size > 0 ? c.sound->frame_size : 1024;
  while (av_audio_fifo_size(c.fifo) >= frameSize || (last && av_audio_fifo_size(c.fifo) > 0)) {
    av_frame_unref(c.samples);
    c.samples->nb_samples = std::min(frameSize, av_audio_fifo_size(c.fifo));
    c.samples->format = c.sound->sample_fmt;
    c.samples->sample_rate = c.sound->sample_rate;
    av_channel_layout_copy(&c.samples->ch_layout, &c.sound->ch_layout);
    if (av_frame_get_buffer(c.samples, 0) < 0) return Fail(error, "out of memory");
    av_audio_fifo_read(c.fifo, reinterpret_cast<void**>(c.samples->data), c.samples->nb_samples);
    c.samples->pts = c.nextSample;
    c.nextSample += c.samples->nb_samples;
    if (!Encode(c, c.sound, c.soundStream, c.samples, error)) return false;
  }
  return true;
}

// Resamples input (nullptr: what the resampler still holds) into the FIFO.
bool Resample(Codecs& c, const std::int16_t* samples, int frames, std::string& error) {
  const int room = swr_get_out_samples(c.resampler, frames);
  std::vector<std::uint8_t*> planes(static_cast<size_t>(c.sound->ch_layout.nb_channels));
  int linesize = 0;
  if (av_samples_alloc(planes.data(), &linesize, c.sound->ch_layout.nb_channels, std::max(room, 1),
                       c.sound->sample_fmt, 0) < 0)
    return Fail(error, "out of memory");
  const std::uint8_t* input = reinterpret_cast<const std::uint8_t*>(samples);
  const int made = swr_convert(c.resampler, planes.data(), room, samples ? &input : nullptr, frames);
  const bool ok = made >= 0 && av_audio_fifo_write(c.fifo, reinterpret_cast<void**>(planes.data()), made) == made;
  av_freep(&planes[0]);
  return ok || Fail(error, "cannot convert the sound");
}


// FFmpeg's encoders behind the module's one entry point.
class CodecBackend final : public VideoBackend {
 public:
  bool Open(const std::string& path, VideoContainer container, const VideoSettings& settings,
            std::string& error) override;
  bool AddFrame(const std::uint8_t* rgba, std::string& error) override;
  bool AddSound(const std::int16_t* samples, int frames, std::string& error) override;
  bool Finish(std::string& error) override;

 private:
  VideoCodecs c;
};

bool CodecBackend::Open(const std::string& path, VideoContainer container, const VideoSettings& settings,
                        std::string& error) {
  av_log_set_level(AV_LOG_ERROR);  // the codecs' statistics are no news to our users
  const bool webm = container == VideoContainer::Webm;
  c.path = path;
  c.width = settings.Width;
  c.height = settings.Height;
  // The muxer reads the file back by this name to move the MP4 index forward.
  const std::string partPath = path + ".part";
  int result = avformat_alloc_output_context2(&c.format, nullptr, webm ? "webm" : "mp4", partPath.c_str());
  if (result < 0) return Fail(error, "no muxer for " + path, result);
  if (!OpenVideo(c, settings, webm, error)) return false;
  if (settings.SoundRate > 0 && !OpenSound(c, settings, webm, error)) return false;
  result = avio_open(&c.format->pb, partPath.c_str(), AVIO_FLAG_WRITE);
  if (result < 0) return Fail(error, "cannot write " + partPath, result);
  c.fileOpen = true;
  c.partPath = partPath;
  AVDictionary* options = nullptr;
  if (!webm) av_dict_set(&options, "movflags", "+faststart", 0);
  result = avformat_write_header(c.format, &options);
  av_dict_free(&options);
  if (result < 0) return Fail(error, "cannot write " + partPath, result);
  c.packet = av_packet_alloc();
  return c.packet || Fail(error, "out of memory");
}

bool CodecBackend::AddFrame(const std::uint8_t* rgba, std::string& error) {
  if (av_frame_make_writable(c.picture) < 0) return Fail(error, "out of memory");
  // From the top row down: the last row first, with a negative stride.
  const int stride = c.width * 4;
  const std::uint8_t* top = rgba + static_cast<size_t>(c.height - 1) * stride;
  const int strides[1] = {-stride};
  sws_scale(c.scaler, &top, strides, 0, c.height, c.picture->data, c.picture->linesize);
  c.picture->pts = c.nextPicture++;
  return Encode(c, c.video, c.videoStream, c.picture, error);
}

bool CodecBackend::AddSound(const std::int16_t* samples, int frames, std::string& error) {
  if (!c.sound || frames <= 0) return true;
  return Resample(c, samples, frames, error) && EncodeFifo(c, false, error);
}

bool CodecBackend::Finish(std::string& error) {
  if (c.sound) {
    if (!Resample(c, nullptr, 0, error) || !EncodeFifo(c, true, error)) return false;
    if (!Encode(c, c.sound, c.soundStream, nullptr, error)) return false;
  }
  if (!Encode(c, c.video, c.videoStream, nullptr, error)) return false;
  int result = av_write_trailer(c.format);
  if (result < 0) return Fail(error, "cannot complete " + c.partPath, result);
  c.fileOpen = false;
  result = avio_closep(&c.format->pb);
  if (result < 0) return Fail(error, "cannot write " + c.partPath, result);
  if (std::rename(c.partPath.c_str(), c.path.c_str()) != 0) return Fail(error, "cannot rename " + c.partPath);
  c.finished = true;
  return true;
}

}  // namespace
}  // namespace platform

extern "C" platform::VideoBackend* vortane_video_backend() { return new platform::CodecBackend; }
