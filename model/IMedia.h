#pragma once
#include <QString>
#include <QStringList>

#include <utility>

class QObject;
struct AudioTagFields;
struct TrackInfo;

// A track as the rest of the player sees it: a reference-counted handle owning one TrackInfo.
// The operations keep the order of the track interface's slots.
class IMedia {
public:
    virtual int AddRef() = 0;                                                     //  0
    virtual int Release() = 0;                                                    //  1
    virtual int AttachObject(QObject* object, TrackInfo* info) = 0;               //  2
    virtual int AttachInfo(TrackInfo* info, QObject* owner) = 0;                  //  3
    virtual TrackInfo* GetInfo() const = 0;                                       //  4
    virtual QObject* GetAttachedObject() const = 0;                               //  5
    virtual int ReadTagsIntoInfo(AudioTagFields& fields) = 0;                     //  6
    virtual int ReadTags(AudioTagFields& fields) = 0;                             //  7
    virtual int ReadAudioProperties() = 0;                                        //  8
    virtual int WriteTagsTo(const QString& path) = 0;                             //  9
    virtual int WriteTagsAndLyrics() = 0;                                         // 10
    virtual int EmbedPictureInto(const QString& audioPath, const QString& picturePath) = 0; // 11
    virtual int EmbedPicture(const QString& picturePath) = 0;                     // 12
    virtual int WriteLyricsTo(const QString& audioPath, const QString& lyrics) = 0; // 13
    virtual int WriteCachedLyricsTo(const QString& audioPath) = 0;                // 14
    virtual int GetLyricsText(QString& text) const = 0;                           // 15
    virtual int SetMark(int mark) = 0;                                            // 16
    virtual void SetLyricsText(const QString& text) = 0;                          // 17
    virtual void CopyLyricsText(QString& text) const = 0;                         // 18
    virtual int HasLyrics() const = 0;                                            // 19
    virtual void SetHasLyrics(int has) = 0;                                       // 20
    virtual int GetSpareFlag() const = 0;                                         // 21
    virtual QStringList& GetStringList() = 0;                                     // 22
    virtual unsigned GetState() const = 0;                                        // 23
    virtual void AddState(unsigned bits) = 0;                                     // 24
    virtual unsigned RemoveState(unsigned bits) = 0;                              // 25
    virtual int LoadLyrics() = 0;                                                 // 26

protected:
    virtual ~IMedia() = default;                                                  // 27
};

// Holds one reference to a track for as long as it lives.
template <class T>
class MediaRef {
public:
    MediaRef() = default;
    // Takes over a reference the caller already owns (a new track's first one).
    static MediaRef Adopt(T* p) { MediaRef r; r.m_p = p; return r; }
    // Adds a reference of its own.
    explicit MediaRef(T* p) : m_p(p) { if (m_p) m_p->AddRef(); }
    MediaRef(const MediaRef& o) : m_p(o.m_p) { if (m_p) m_p->AddRef(); }
    MediaRef(MediaRef&& o) noexcept : m_p(o.m_p) { o.m_p = nullptr; }
    MediaRef& operator=(MediaRef o) noexcept { std::swap(m_p, o.m_p); return *this; }
    ~MediaRef() { if (m_p) m_p->Release(); }

    T* get() const { return m_p; }
    T* operator->() const { return m_p; }
    T& operator*() const { return *m_p; }
    explicit operator bool() const { return m_p != nullptr; }
    // Gives the reference away to a caller that will release it.
    T* Detach() { T* p = m_p; m_p = nullptr; return p; }
    friend bool operator==(const MediaRef& a, const MediaRef& b) { return a.m_p == b.m_p; }

private:
    T* m_p = nullptr;
};
