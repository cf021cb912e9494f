#include "engine/codecs/stream_decoder.h"

#include <new>

CStreamDecoder::CStreamDecoder(IDevice& file)
    : m_file(file), m_pInput(new (std::nothrow) uint8_t[INPUT_SIZE])
{
}

T_DECODE_RESULT CStreamDecoder::Failure(EDecodeFailure eFailure, std::string strDetail)
{
    return T_DECODE_RESULT{false, eFailure, 0, std::move(strDetail)};
}

T_DECODE_RESULT CStreamDecoder::Read(void* pBlock, uint32_t nLength, uint32_t& nProduced)
{
    nProduced = 0;
    if (m_eState == EState::Failed) return Failure(EDecodeFailure::Unusable);
    if (m_eState == EState::Finished) return T_DECODE_RESULT{};
    if (!m_pInput) {
        m_eState = EState::Failed;
        return Failure(EDecodeFailure::NoMemory);
    }
    T_BUFFERS io{m_pNext, m_nAvail, static_cast<uint8_t*>(pBlock), nLength};
    T_DECODE_RESULT result;
    while (io.nOut > 0 && result.bOk) {
        if (io.nIn == 0 && !m_bFileEnded) {
            result = FillInput(io);
            if (!result.bOk) break;
            if (m_bFileEnded && m_nFileBytes == 0) {  // an empty file: an image of 0 bytes
                m_eState = EState::Finished;
                break;
            }
        }
        const T_BUFFERS before = io;
        const EStep eStep = Step(io, m_bFileEnded, result);
        if (eStep == EStep::Failed) break;
        if (eStep == EStep::End) {
            m_eState = EState::Finished;
            break;
        }
        if (m_bFileEnded && io.nIn == before.nIn && io.nOut == before.nOut)
            result = Failure(EDecodeFailure::Truncated);
    }
    nProduced = nLength - static_cast<uint32_t>(io.nOut);
    m_pNext = io.pIn;
    m_nAvail = io.nIn;
    if (!result.bOk) m_eState = EState::Failed;
    return result;
}

// Reads up to a buffer of the file behind what was read so far. 0 bytes:
// the file is exhausted.
T_DECODE_RESULT CStreamDecoder::FillInput(T_BUFFERS& io)
{
    const T_IO_RESULT read = m_file.ReadAt(m_nFileBytes, m_pInput.get(), INPUT_SIZE);
    if (!read.bOk) return T_DECODE_RESULT{false, EDecodeFailure::FileRead, read.nError, {}};
    m_bFileEnded = read.nCount == 0;
    m_nFileBytes += read.nCount;
    io.pIn = m_pInput.get();
    io.nIn = read.nCount;
    return T_DECODE_RESULT{};
}
