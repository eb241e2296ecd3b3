/* A C program against the installed C interface: a string round trip. */
#include <stdio.h>
#include <string.h>

#include <quorin/quorin.h>

int main(void) {
  quorin* q = quorin_new();
  char text[64];
  unsigned char back[32];
  size_t text_len = sizeof text, back_len = sizeof back;
  quorin_set_mode(q, QUORIN_CBC);
  quorin_initialise(q, (const uint8_t*)"a C program's key", 17);
  quorin_load_iv(q, (const uint8_t*)"sixteen byte iv!", 16);
  if (quorin_encrypt_string(q, (const uint8_t*)"from C", 6, (uint8_t*)text, &text_len) != QUORIN_OK)
    return 1;
  quorin_load_iv(q, (const uint8_t*)"sixteen byte iv!", 16);
  if (quorin_decrypt_string(q, (const uint8_t*)text, text_len, back, &back_len) != QUORIN_OK ||
      back_len != 6 || memcmp(back, "from C", 6) != 0)
    return 1;
  printf("libquorin-c %s: from C -> %s -> from C\n", quorin_version(), text);
  quorin_free(q);
  return 0;
}
