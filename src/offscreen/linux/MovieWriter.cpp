// SPDX-License-Identifier: MIT
#include "offscreen/linux/MovieWriter.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/error.h>
#include <libavutil/imgutils.h>
#include <libavutil/log.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

namespace orvane {

namespace {

// Fast enough to keep up with the renderer, and still High profile: this
// preset keeps CABAC and the 8x8 transform.
constexpr const char* encoderPreset = "superfast";

std::string ffmpegError(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

MovieError failed(MovieError::Kind kind, int code) {
    return MovieError{kind, ffmpegError(code)};
}

std::string_view message(MovieError::Kind kind) {
    using Kind = MovieError::Kind;
    switch (kind) {
    case Kind::noContainer:
        return "cannot create the MPEG-4 container";
    case Kind::noEncoder:
        return "no H.264 encoder is available";
    case Kind::cannotAddInput:
        return "cannot add video input";
    case Kind::encoderRefused:
        return "cannot open the H.264 encoder";
    case Kind::streamUndescribed:
        return "cannot describe the video stream";
    case Kind::frameAllocation:
        return "pixel buffer allocation";
    case Kind::noConverter:
        return "cannot convert BGRA frames to YUV 4:2:0";
    case Kind::cannotOpenFile:
        return "cannot open";
    case Kind::cannotStart:
        return "cannot start writing";
    case Kind::appendRefused:
        return "append";
    case Kind::cannotFinish:
        return "cannot finish writing";
    }
    return "cannot start writing";
}

} // namespace

std::string MovieError::description() const {
    std::string text = "Movie writer failed: " + std::string(message(kind));
    if (kind == Kind::cannotOpenFile) {
        return text + " " + detail;
    }
    return detail.empty() ? text : text + ": " + detail;
}

struct MovieWriter::State {
    AVFormatContext* format = nullptr;
    AVCodecContext* codec = nullptr;
    AVStream* stream = nullptr;
    SwsContext* scaler = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;
    bool headerWritten = false;
    bool finished = false;
    Settings settings;

    ~State() {
        av_packet_free(&packet);
        av_frame_free(&frame);
        sws_freeContext(scaler);
        avcodec_free_context(&codec);
        if (format != nullptr) {
            if (headerWritten && !finished) {
                av_write_trailer(format); // what was written stays playable
            }
            if ((format->oformat->flags & AVFMT_NOFILE) == 0) {
                avio_closep(&format->pb);
            }
            avformat_free_context(format);
        }
    }
};

MovieWriter::MovieWriter(std::unique_ptr<State> state) : state_(std::move(state)) {}
MovieWriter::~MovieWriter() = default;

Result<std::unique_ptr<MovieWriter>, MovieError> MovieWriter::open(const std::string& path,
                                                                   const Settings& settings) {
    // The encoder's own progress notes would crowd the tool's output.
    av_log_set_level(AV_LOG_ERROR);
    auto s = std::make_unique<State>();
    s->settings = settings;
    int code = avformat_alloc_output_context2(&s->format, nullptr, "mp4", path.c_str());
    if (code < 0 || s->format == nullptr) {
        return failed(MovieError::Kind::noContainer, code);
    }
    const AVCodec* encoder = avcodec_find_encoder_by_name("libx264");
    if (encoder == nullptr) {
        encoder = avcodec_find_encoder(AV_CODEC_ID_H264);
    }
    if (encoder == nullptr) {
        return MovieError{MovieError::Kind::noEncoder, {}};
    }
    s->stream = avformat_new_stream(s->format, nullptr);
    s->codec = avcodec_alloc_context3(encoder);
    s->frame = av_frame_alloc();
    s->packet = av_packet_alloc();
    if (s->stream == nullptr || s->codec == nullptr || s->frame == nullptr ||
        s->packet == nullptr) {
        return MovieError{MovieError::Kind::cannotAddInput, {}};
    }
    AVCodecContext* c = s->codec;
    c->width = settings.width;
    c->height = settings.height;
    c->time_base = AVRational{1, settings.fps};
    c->framerate = AVRational{settings.fps, 1};
    c->pix_fmt = AV_PIX_FMT_YUV420P;
    c->bit_rate = settings.bitRate;
    c->gop_size = settings.fps;
    c->profile = FF_PROFILE_H264_HIGH;
    c->thread_count = 0; // one per core
    av_opt_set(c->priv_data, "preset", encoderPreset, 0);
    av_opt_set(c->priv_data, "profile", "high", 0);
    if ((s->format->oformat->flags & AVFMT_GLOBALHEADER) != 0) {
        c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    }
    if ((code = avcodec_open2(c, encoder, nullptr)) < 0) {
        return failed(MovieError::Kind::encoderRefused, code);
    }
    if ((code = avcodec_parameters_from_context(s->stream->codecpar, c)) < 0) {
        return failed(MovieError::Kind::streamUndescribed, code);
    }
    s->stream->time_base = c->time_base;
    s->stream->avg_frame_rate = c->framerate;

    s->frame->format = c->pix_fmt;
    s->frame->width = c->width;
    s->frame->height = c->height;
    if ((code = av_frame_get_buffer(s->frame, 0)) < 0) {
        return failed(MovieError::Kind::frameAllocation, code);
    }
    s->scaler = sws_getContext(c->width, c->height, AV_PIX_FMT_BGRA, c->width, c->height,
                               AV_PIX_FMT_YUV420P, SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (s->scaler == nullptr) {
        return MovieError{MovieError::Kind::noConverter, {}};
    }
    if ((s->format->oformat->flags & AVFMT_NOFILE) == 0 &&
        (code = avio_open(&s->format->pb, path.c_str(), AVIO_FLAG_WRITE)) < 0) {
        return MovieError{MovieError::Kind::cannotOpenFile, path + ": " + ffmpegError(code)};
    }
    if ((code = avformat_write_header(s->format, nullptr)) < 0) {
        return failed(MovieError::Kind::cannotStart, code);
    }
    s->headerWritten = true;
    return std::unique_ptr<MovieWriter>(new MovieWriter(std::move(s)));
}

std::optional<MovieError> MovieWriter::drain(bool flushing) {
    State& s = *state_;
    for (;;) {
        const int code = avcodec_receive_packet(s.codec, s.packet);
        if (code == AVERROR(EAGAIN) || (flushing && code == AVERROR_EOF)) {
            return std::nullopt;
        }
        if (code < 0) {
            return failed(MovieError::Kind::appendRefused, code);
        }
        av_packet_rescale_ts(s.packet, s.codec->time_base, s.stream->time_base);
        s.packet->stream_index = s.stream->index;
        const int written = av_interleaved_write_frame(s.format, s.packet);
        av_packet_unref(s.packet);
        if (written < 0) {
            return failed(MovieError::Kind::appendRefused, written);
        }
    }
}

std::optional<MovieError> MovieWriter::append(const std::uint8_t* bgra, std::int64_t index) {
    State& s = *state_;
    int code = av_frame_make_writable(s.frame);
    if (code < 0) {
        return failed(MovieError::Kind::frameAllocation, code);
    }
    const std::uint8_t* const planes[] = {bgra};
    const int strides[] = {4 * s.settings.width};
    sws_scale(s.scaler, planes, strides, 0, s.settings.height, s.frame->data, s.frame->linesize);
    s.frame->pts = index;
    if ((code = avcodec_send_frame(s.codec, s.frame)) < 0) {
        return failed(MovieError::Kind::appendRefused, code);
    }
    return drain(false);
}

std::optional<MovieError> MovieWriter::finish() {
    State& s = *state_;
    int code = avcodec_send_frame(s.codec, nullptr);
    if (code < 0) {
        return failed(MovieError::Kind::cannotFinish, code);
    }
    if (auto error = drain(true)) {
        return error;
    }
    s.finished = true;
    if ((code = av_write_trailer(s.format)) < 0) {
        return failed(MovieError::Kind::cannotFinish, code);
    }
    if ((s.format->oformat->flags & AVFMT_NOFILE) == 0 && (code = avio_closep(&s.format->pb)) < 0) {
        return failed(MovieError::Kind::cannotFinish, code);
    }
    return std::nullopt;
}

} // namespace orvane
