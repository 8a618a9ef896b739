#include "platform/output_file.h"

#include "platform/standard_streams.h"

namespace zelk {

bool AtomicOutputFile::ReaderGone() const {
    if (m_readerGone) return true;
    if (m_mode != Mode::Direct || !m_stream) return false;
    return zelk::platform::PipeReaderGone(m_stream);
}

bool AtomicOutputFile::Commit() {
    if (!m_stream) return false;
    bool ok = std::fflush(m_stream) == 0 && !std::ferror(m_stream);
    switch (m_mode) {
        case Mode::Direct:
            if (!ok) m_readerGone = ReaderGone();
            ok = std::fclose(m_stream) == 0 && ok;
            m_stream = nullptr;
            m_descriptor = -1;
            return ok;
        case Mode::Spool:
            ok = ok && CopySpool();
            Abandon();
            return ok;
        case Mode::Rename:
        case Mode::InPlace:
            break;
    }
    return CommitTemporary(ok);
}

}  // namespace zelk
