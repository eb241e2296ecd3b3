-- The functions of the quorin extension. Every value stands alone: the IV
-- is loaded afresh for each one. Keys, identities and key files never reach
-- the server log through this extension's errors; see the README for what
-- the server may log by itself.
\echo Use "CREATE EXTENSION quorin" to load this file. \quit

CREATE FUNCTION quorin_version() RETURNS text
  AS 'MODULE_PATHNAME', 'pg_quorin_version' LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;

-- The component's strings, raw (bytea) and armoured (text): mode is one of
-- ecb, cbc, cfb, ofb; key_bits 128, 192 or 256; ECB takes an empty IV.
CREATE FUNCTION quorin_encrypt(data bytea, key bytea, iv bytea, mode text, key_bits int)
  RETURNS bytea AS 'MODULE_PATHNAME', 'pg_quorin_encrypt'
  LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;
CREATE FUNCTION quorin_decrypt(data bytea, key bytea, iv bytea, mode text, key_bits int)
  RETURNS bytea AS 'MODULE_PATHNAME', 'pg_quorin_decrypt'
  LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;
CREATE FUNCTION quorin_encrypt_text(data bytea, key bytea, iv bytea, mode text, key_bits int)
  RETURNS text AS 'MODULE_PATHNAME', 'pg_quorin_encrypt_text'
  LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;
CREATE FUNCTION quorin_decrypt_text(data text, key bytea, iv bytea, mode text, key_bits int)
  RETURNS bytea AS 'MODULE_PATHNAME', 'pg_quorin_decrypt_text'
  LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;
-- The CBC-MAC, 16 bytes; an empty IV is the zero IV.
CREATE FUNCTION quorin_mac(data bytea, key bytea, iv bytea, key_bits int)
  RETURNS bytea AS 'MODULE_PATHNAME', 'pg_quorin_mac'
  LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;

-- Sealed values: sealing is randomised, so it is volatile.
CREATE FUNCTION quorin_seal(data bytea, recipients text[])
  RETURNS bytea AS 'MODULE_PATHNAME', 'pg_quorin_seal'
  LANGUAGE C VOLATILE STRICT PARALLEL SAFE;
CREATE FUNCTION quorin_open(data bytea, identity text)
  RETURNS bytea AS 'MODULE_PATHNAME', 'pg_quorin_open'
  LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;

-- The same with the secret in a file on the server (an absolute path), so
-- that it appears in no statement. A file is read once per statement; a
-- changed file is seen by the next one, hence STABLE. Reading the server's
-- files is for its superusers and pg_read_server_files.
CREATE FUNCTION quorin_encrypt_keyfile(data bytea, key_file text, iv bytea, mode text,
                                       key_bits int)
  RETURNS bytea AS 'MODULE_PATHNAME', 'pg_quorin_encrypt_keyfile'
  LANGUAGE C STABLE STRICT PARALLEL SAFE;
CREATE FUNCTION quorin_decrypt_keyfile(data bytea, key_file text, iv bytea, mode text,
                                       key_bits int)
  RETURNS bytea AS 'MODULE_PATHNAME', 'pg_quorin_decrypt_keyfile'
  LANGUAGE C STABLE STRICT PARALLEL SAFE;
CREATE FUNCTION quorin_encrypt_text_keyfile(data bytea, key_file text, iv bytea, mode text,
                                            key_bits int)
  RETURNS text AS 'MODULE_PATHNAME', 'pg_quorin_encrypt_text_keyfile'
  LANGUAGE C STABLE STRICT PARALLEL SAFE;
CREATE FUNCTION quorin_decrypt_text_keyfile(data text, key_file text, iv bytea, mode text,
                                            key_bits int)
  RETURNS bytea AS 'MODULE_PATHNAME', 'pg_quorin_decrypt_text_keyfile'
  LANGUAGE C STABLE STRICT PARALLEL SAFE;
CREATE FUNCTION quorin_mac_keyfile(data bytea, key_file text, iv bytea, key_bits int)
  RETURNS bytea AS 'MODULE_PATHNAME', 'pg_quorin_mac_keyfile'
  LANGUAGE C STABLE STRICT PARALLEL SAFE;
CREATE FUNCTION quorin_seal_keyfile(data bytea, key_file text)
  RETURNS bytea AS 'MODULE_PATHNAME', 'pg_quorin_seal_keyfile'
  LANGUAGE C VOLATILE STRICT PARALLEL SAFE;
CREATE FUNCTION quorin_open_keyfile(data bytea, key_file text)
  RETURNS bytea AS 'MODULE_PATHNAME', 'pg_quorin_open_keyfile'
  LANGUAGE C STABLE STRICT PARALLEL SAFE;
CREATE FUNCTION quorin_open_identityfile(data bytea, identity_file text)
  RETURNS bytea AS 'MODULE_PATHNAME', 'pg_quorin_open_identityfile'
  LANGUAGE C STABLE STRICT PARALLEL SAFE;

DO $$
DECLARE f text;
BEGIN
  FOREACH f IN ARRAY ARRAY[
      'quorin_encrypt_keyfile(bytea, text, bytea, text, int)',
      'quorin_decrypt_keyfile(bytea, text, bytea, text, int)',
      'quorin_encrypt_text_keyfile(bytea, text, bytea, text, int)',
      'quorin_decrypt_text_keyfile(text, text, bytea, text, int)',
      'quorin_mac_keyfile(bytea, text, bytea, int)',
      'quorin_seal_keyfile(bytea, text)',
      'quorin_open_keyfile(bytea, text)',
      'quorin_open_identityfile(bytea, text)'] LOOP
    EXECUTE format('REVOKE ALL ON FUNCTION %s FROM PUBLIC', f);
    EXECUTE format('GRANT EXECUTE ON FUNCTION %s TO pg_read_server_files', f);
  END LOOP;
END $$;
