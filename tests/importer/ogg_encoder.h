#pragma once

#include <vorbis/vorbisenc.h>

#include <cstdint>
#include <vector>

namespace zb::test {

// Encodes mono 16-bit frames as an Ogg Vorbis stream, as the sample data of an SF3 font.
inline std::vector<std::uint8_t> encodeVorbis(const std::vector<std::int16_t>& frames, long rate) {
    vorbis_info info;
    vorbis_info_init(&info);
    vorbis_encode_init_vbr(&info, 1, rate, 0.6F);
    vorbis_comment comment;
    vorbis_comment_init(&comment);
    vorbis_dsp_state dsp;
    vorbis_analysis_init(&dsp, &info);
    vorbis_block block;
    vorbis_block_init(&dsp, &block);
    ogg_stream_state stream;
    ogg_stream_init(&stream, 1);
    std::vector<std::uint8_t> out;
    ogg_page page;
    const auto put = [&] {
        out.insert(out.end(), page.header, page.header + page.header_len);
        out.insert(out.end(), page.body, page.body + page.body_len);
    };
    ogg_packet header, headerComment, headerCode;
    vorbis_analysis_headerout(&dsp, &comment, &header, &headerComment, &headerCode);
    ogg_stream_packetin(&stream, &header);
    ogg_stream_packetin(&stream, &headerComment);
    ogg_stream_packetin(&stream, &headerCode);
    while (ogg_stream_flush(&stream, &page) != 0)
        put();
    float** buffer = vorbis_analysis_buffer(&dsp, static_cast<int>(frames.size()));
    for (std::size_t i = 0; i < frames.size(); ++i)
        buffer[0][i] = static_cast<float>(frames[i]) / 32768.0F;
    vorbis_analysis_wrote(&dsp, static_cast<int>(frames.size()));
    vorbis_analysis_wrote(&dsp, 0);
    ogg_packet packet;
    while (vorbis_analysis_blockout(&dsp, &block) == 1) {
        vorbis_analysis(&block, nullptr);
        vorbis_bitrate_addblock(&block);
        while (vorbis_bitrate_flushpacket(&dsp, &packet) != 0) {
            ogg_stream_packetin(&stream, &packet);
            while (ogg_stream_pageout(&stream, &page) != 0)
                put();
        }
    }
    while (ogg_stream_flush(&stream, &page) != 0)
        put();
    ogg_stream_clear(&stream);
    vorbis_block_clear(&block);
    vorbis_dsp_clear(&dsp);
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);
    return out;
}

} // namespace zb::test
