// The sample messages under tests/mail/corpus.
#ifndef TESTS_MAIL_CORPUS_H
#define TESTS_MAIL_CORPUS_H

#include <mail/builders.h>

#include <string>
#include <vector>

const char* const kCorpus[] = {"plain.eml",   "multipart.eml",   "lf_only.eml",
                               "rfc822.eml",  "qp_8bit.eml",     "broken.eml",
                               "headers_only.eml", "body_only.eml"};

inline DwString CorpusMessage(const char* name)
{
    DwString bytes;
    ReadFileBytes((std::string(MAIL_CORPUS_DIR "/") + name).c_str(), bytes);
    return bytes;
}

#endif
