// The OpenSSL calls the TLS stream makes (TlsStream.cpp), reached through
// the library loaded on first use: a bot that never makes a TLS connection
// never maps libssl and libcrypto, and never pays for their start-up. Each
// function here has OpenSSL's own name and declaration (the compiler checks
// them against OpenSSL's headers); on its first call it looks up the real
// one in the library and forwards to it. A system without the library gets
// a failed call, which the TLS stream reports as a failed handshake.
//
// Compiled with hidden visibility: the program's own copies are never
// offered to the library, nor to a test that links the library itself.
#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/opensslv.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>
#include <openssl/x509v3.h>

#include "platform/LateBound.h"

#if OPENSSL_VERSION_MAJOR < 3
#error "the TLS stream needs OpenSSL 3"
#endif

#define FR_TEXT(x) #x
#define FR_SONAME(n) "libssl.so." FR_TEXT(n)

// libssl by the name of the version the program was built with; it brings
// libcrypto, whose functions the same handle finds.
FR_LATE_BOUND_LIBRARY(FR_SONAME(OPENSSL_SHLIB_VERSION))

// clang-format off
FR_FORWARD_VOID(BIO_clear_flags, (BIO* b, int flags), (b, flags))
FR_FORWARD(void*, BIO_get_data, (BIO* a), (a), nullptr)
FR_FORWARD(int, BIO_get_new_index, (void), (), -1)
FR_FORWARD(BIO_METHOD*, BIO_meth_new, (int type, const char* name), (type, name), nullptr)
FR_FORWARD(int, BIO_meth_set_create, (BIO_METHOD* m, int (*create)(BIO*)), (m, create), 0)
FR_FORWARD(int, BIO_meth_set_ctrl, (BIO_METHOD* m, long (*ctrl)(BIO*, int, long, void*)), (m, ctrl), 0)
FR_FORWARD(int, BIO_meth_set_read, (BIO_METHOD* m, int (*read)(BIO*, char*, int)), (m, read), 0)
FR_FORWARD(int, BIO_meth_set_write, (BIO_METHOD* m, int (*write)(BIO*, const char*, int)), (m, write), 0)
FR_FORWARD(BIO*, BIO_new, (const BIO_METHOD* type), (type), nullptr)
FR_FORWARD_VOID(BIO_set_data, (BIO* a, void* ptr), (a, ptr))
FR_FORWARD_VOID(BIO_set_flags, (BIO* b, int flags), (b, flags))
FR_FORWARD_VOID(BIO_set_init, (BIO* a, int init), (a, init))
FR_FORWARD_VOID(ERR_clear_error, (void), ())
FR_FORWARD(unsigned long, ERR_peek_error, (void), (), 0)
FR_FORWARD(unsigned long, ERR_peek_last_error, (void), (), 0)
FR_FORWARD(const char*, ERR_reason_error_string, (unsigned long e), (e), nullptr)
FR_FORWARD(const EVP_MD*, EVP_sha256, (void), (), nullptr)
FR_FORWARD(int, SSL_CTX_check_private_key, (const SSL_CTX* ctx), (ctx), 0)
FR_FORWARD(long, SSL_CTX_ctrl, (SSL_CTX* ctx, int cmd, long larg, void* parg), (ctx, cmd, larg, parg), 0)
FR_FORWARD_VOID(SSL_CTX_free, (SSL_CTX* ctx), (ctx))
FR_FORWARD(int, SSL_CTX_load_verify_locations, (SSL_CTX* ctx, const char* file, const char* path), (ctx, file, path), 0)
FR_FORWARD(SSL_CTX*, SSL_CTX_new, (const SSL_METHOD* meth), (meth), nullptr)
FR_FORWARD_VOID(SSL_CTX_set_cert_verify_callback, (SSL_CTX* ctx, int (*cb)(X509_STORE_CTX*, void*), void* arg), (ctx, cb, arg))
FR_FORWARD_VOID(SSL_CTX_set_default_passwd_cb, (SSL_CTX* ctx, pem_password_cb* cb), (ctx, cb))
FR_FORWARD_VOID(SSL_CTX_set_default_passwd_cb_userdata, (SSL_CTX* ctx, void* u), (ctx, u))
FR_FORWARD(int, SSL_CTX_set_default_verify_paths, (SSL_CTX* ctx), (ctx), 0)
FR_FORWARD(uint64_t, SSL_CTX_set_options, (SSL_CTX* ctx, uint64_t op), (ctx, op), 0)
FR_FORWARD_VOID(SSL_CTX_set_verify, (SSL_CTX* ctx, int mode, SSL_verify_cb cb), (ctx, mode, cb))
FR_FORWARD(int, SSL_CTX_use_PrivateKey_file, (SSL_CTX* ctx, const char* file, int type), (ctx, file, type), 0)
FR_FORWARD(int, SSL_CTX_use_certificate_chain_file, (SSL_CTX* ctx, const char* file), (ctx, file), 0)
FR_FORWARD(int, SSL_connect, (SSL* ssl), (ssl), -1)
FR_FORWARD(long, SSL_ctrl, (SSL* ssl, int cmd, long larg, void* parg), (ssl, cmd, larg, parg), 0)
FR_FORWARD_VOID(SSL_free, (SSL* ssl), (ssl))
FR_FORWARD(X509_VERIFY_PARAM*, SSL_get0_param, (SSL* ssl), (ssl), nullptr)
FR_FORWARD(X509*, SSL_get0_peer_certificate, (const SSL* s), (s), nullptr)
FR_FORWARD(int, SSL_get_error, (const SSL* s, int ret), (s, ret), SSL_ERROR_SSL)
FR_FORWARD(void*, SSL_get_ex_data, (const SSL* ssl, int idx), (ssl, idx), nullptr)
FR_FORWARD(int, SSL_get_ex_data_X509_STORE_CTX_idx, (void), (), -1)
FR_FORWARD(long, SSL_get_verify_result, (const SSL* ssl), (ssl), X509_V_ERR_UNSPECIFIED)
FR_FORWARD(const char*, SSL_get_version, (const SSL* s), (s), "")
FR_FORWARD(SSL*, SSL_new, (SSL_CTX* ctx), (ctx), nullptr)
FR_FORWARD(int, SSL_peek, (SSL* ssl, void* buf, int num), (ssl, buf, num), -1)
FR_FORWARD(int, SSL_pending, (const SSL* s), (s), 0)
FR_FORWARD(int, SSL_read, (SSL* ssl, void* buf, int num), (ssl, buf, num), -1)
FR_FORWARD(int, SSL_set1_host, (SSL* s, const char* host), (s, host), 0)
FR_FORWARD_VOID(SSL_set_bio, (SSL* s, BIO* rbio, BIO* wbio), (s, rbio, wbio))
FR_FORWARD(int, SSL_set_ex_data, (SSL* ssl, int idx, void* data), (ssl, idx, data), 0)
FR_FORWARD(int, SSL_shutdown, (SSL* s), (s), -1)
FR_FORWARD(int, SSL_write, (SSL* ssl, const void* buf, int num), (ssl, buf, num), -1)
FR_FORWARD(const SSL_METHOD*, TLS_client_method, (void), (), nullptr)
FR_FORWARD(X509*, X509_STORE_CTX_get0_cert, (const X509_STORE_CTX* ctx), (ctx), nullptr)
FR_FORWARD(int, X509_STORE_CTX_get_error, (const X509_STORE_CTX* ctx), (ctx), X509_V_ERR_UNSPECIFIED)
FR_FORWARD(void*, X509_STORE_CTX_get_ex_data, (const X509_STORE_CTX* ctx, int idx), (ctx, idx), nullptr)
FR_FORWARD_VOID(X509_STORE_CTX_set_error, (X509_STORE_CTX* ctx, int s), (ctx, s))
FR_FORWARD(int, X509_VERIFY_PARAM_set1_ip_asc, (X509_VERIFY_PARAM* param, const char* ip), (param, ip), 0)
FR_FORWARD(int, X509_digest, (const X509* data, const EVP_MD* type, unsigned char* md, unsigned int* len), (data, type, md, len), 0)
FR_FORWARD(const char*, X509_verify_cert_error_string, (long n), (n), "")
// clang-format on
