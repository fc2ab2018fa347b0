// Feeds arbitrary bytes to every reader of service replies and request documents; the first
// byte picks the reader. They must neither crash nor read out of bounds.
#include "net/proto/RequestDocument.h"
#include "net/proto/ServiceReplies.h"
#include "net/proto/UrlEncode.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0) return 0;
    QByteArray reply(reinterpret_cast<const char*>(data) + 1, static_cast<qsizetype>(size - 1));
    BlankUtf8Prolog(reply);
    switch (data[0] % 12) {
    case 0: { QList<MenuEntry> m; ParseMenuReply(reply, m); break; }
    case 1: { QString v; ParseStartReply(reply, v); break; }
    case 2: { UpdateReply u; ParseUpdateReply(reply, u); break; }
    case 3: ParseRootReply(reply); break;
    case 4: { ResultReply r; ParseResultReply(reply, r); break; }
    case 5: { GroupListReply g; ParseGroupListReply(reply, g); break; }
    case 6: { SongListReply s; ParseSongListReply(reply, s); break; }
    case 7: { QString u; ParsePictureReply(reply, u); break; }
    case 8: { QString c; ParseLyricsReply(reply, c); NormaliseServiceLyrics(c); break; }
    case 9: { UserInfoReply i; ParseUserInfoReply(reply, i); break; }
    case 10: { RequestContent c; DecodeRequestDocument(reply, c); break; }
    default: { const FormFields f = ParseForm(reply); (void)FormValue(f, "value"); UrlDecode(UrlEncodeCounted(reply)); break; }
    }
    return 0;
}
