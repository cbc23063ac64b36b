#pragma once
// The GMime functions the notification's message is built with, each found in the library at its
// first call: only a mail loads GMime (and GIO, GPGME and the others it brings). The type
// functions are those GMime's cast macros call. The message's file says `using namespace gmime;`.

#include "platform/LazyLibrary.h"

// GLib names a structure member "signals", which Qt defines as a keyword.
#pragma push_macro("signals")
#undef signals
#include <gmime/gmime.h>
#pragma pop_macro("signals")

namespace mail::gmime {

inline constexpr const char* kLibrary = VELLACORD_GMIME_SONAME;

inline constinit const LazyFunction<decltype(&::g_mime_data_wrapper_new_with_stream)> g_mime_data_wrapper_new_with_stream{kLibrary, "g_mime_data_wrapper_new_with_stream"};
inline constinit const LazyFunction<decltype(&::g_mime_init)> g_mime_init{kLibrary, "g_mime_init"};
inline constinit const LazyFunction<decltype(&::g_mime_message_add_mailbox)> g_mime_message_add_mailbox{kLibrary, "g_mime_message_add_mailbox"};
inline constinit const LazyFunction<decltype(&::g_mime_message_new)> g_mime_message_new{kLibrary, "g_mime_message_new"};
inline constinit const LazyFunction<decltype(&::g_mime_message_set_date)> g_mime_message_set_date{kLibrary, "g_mime_message_set_date"};
inline constinit const LazyFunction<decltype(&::g_mime_message_set_message_id)> g_mime_message_set_message_id{kLibrary, "g_mime_message_set_message_id"};
inline constinit const LazyFunction<decltype(&::g_mime_message_set_mime_part)> g_mime_message_set_mime_part{kLibrary, "g_mime_message_set_mime_part"};
inline constinit const LazyFunction<decltype(&::g_mime_message_set_subject)> g_mime_message_set_subject{kLibrary, "g_mime_message_set_subject"};
inline constinit const LazyFunction<decltype(&::g_mime_multipart_add)> g_mime_multipart_add{kLibrary, "g_mime_multipart_add"};
inline constinit const LazyFunction<decltype(&::g_mime_multipart_new_with_subtype)> g_mime_multipart_new_with_subtype{kLibrary, "g_mime_multipart_new_with_subtype"};
inline constinit const LazyFunction<decltype(&::g_mime_object_encode)> g_mime_object_encode{kLibrary, "g_mime_object_encode"};
inline constinit const LazyFunction<decltype(&::g_mime_object_get_type)> g_mime_object_get_type{kLibrary, "g_mime_object_get_type"};
inline constinit const LazyFunction<decltype(&::g_mime_object_set_header)> g_mime_object_set_header{kLibrary, "g_mime_object_set_header"};
inline constinit const LazyFunction<decltype(&::g_mime_object_write_to_stream)> g_mime_object_write_to_stream{kLibrary, "g_mime_object_write_to_stream"};
inline constinit const LazyFunction<decltype(&::g_mime_part_get_type)> g_mime_part_get_type{kLibrary, "g_mime_part_get_type"};
inline constinit const LazyFunction<decltype(&::g_mime_part_new_with_type)> g_mime_part_new_with_type{kLibrary, "g_mime_part_new_with_type"};
inline constinit const LazyFunction<decltype(&::g_mime_part_set_content)> g_mime_part_set_content{kLibrary, "g_mime_part_set_content"};
inline constinit const LazyFunction<decltype(&::g_mime_part_set_content_encoding)> g_mime_part_set_content_encoding{kLibrary, "g_mime_part_set_content_encoding"};
inline constinit const LazyFunction<decltype(&::g_mime_part_set_filename)> g_mime_part_set_filename{kLibrary, "g_mime_part_set_filename"};
inline constinit const LazyFunction<decltype(&::g_mime_stream_mem_get_byte_array)> g_mime_stream_mem_get_byte_array{kLibrary, "g_mime_stream_mem_get_byte_array"};
inline constinit const LazyFunction<decltype(&::g_mime_stream_mem_get_type)> g_mime_stream_mem_get_type{kLibrary, "g_mime_stream_mem_get_type"};
inline constinit const LazyFunction<decltype(&::g_mime_stream_mem_new)> g_mime_stream_mem_new{kLibrary, "g_mime_stream_mem_new"};
inline constinit const LazyFunction<decltype(&::g_mime_stream_mem_new_with_buffer)> g_mime_stream_mem_new_with_buffer{kLibrary, "g_mime_stream_mem_new_with_buffer"};
inline constinit const LazyFunction<decltype(&::g_mime_text_part_new_with_subtype)> g_mime_text_part_new_with_subtype{kLibrary, "g_mime_text_part_new_with_subtype"};
inline constinit const LazyFunction<decltype(&::g_mime_text_part_set_charset)> g_mime_text_part_set_charset{kLibrary, "g_mime_text_part_set_charset"};

} // namespace mail::gmime
