-- The extension's functions: known answers, NULLs, refusals, privileges.
-- The test driver has loaded rc6_vectors (RC6 in every mode, computed by
-- libtomcrypt) and sealed_files, and put the secret files in QUORIN_PG_SECRETS.
CREATE EXTENSION quorin;
SELECT quorin_version();
\getenv secrets QUORIN_PG_SECRETS
\set component_key :secrets '/component.key'
\set sealed_key :secrets '/sealed.key'
\set identity_file :secrets '/identity'
\set empty_file :secrets '/empty'
\set long_file :secrets '/long'
\set short_file :secrets '/short'
\set other_identity :secrets '/other_identity'

-- What the planner may assume of each function.
SELECT proname, provolatile, proparallel, proisstrict
  FROM pg_proc WHERE proname LIKE 'quorin\_%' ORDER BY proname;

-- Every vector, in every form: raw ciphertext starts with the vector's
-- blocks (the padding block follows), and each form returns the plaintext.
SELECT mode, key_bytes,
       bool_and(substr(quorin_encrypt(plaintext, key, iv, mode, key_bytes * 8), 1,
                       length(ciphertext)) = ciphertext) AS encrypts,
       bool_and(quorin_decrypt(quorin_encrypt(plaintext, key, iv, mode, key_bytes * 8),
                               key, iv, mode, key_bytes * 8) = plaintext) AS decrypts,
       bool_and(quorin_decrypt_text(quorin_encrypt_text(plaintext, key, iv, mode, key_bytes * 8),
                                    key, iv, mode, key_bytes * 8) = plaintext) AS armoured
  FROM rc6_vectors GROUP BY mode, key_bytes ORDER BY key_bytes, mode;

-- Known armour and MAC (the tool gives the same MAC for the same bytes).
SELECT quorin_encrypt_text('hello', '\x000102030405060708090a0b0c0d0e0f',
                           '\x00000000000000000000000000000000', 'cbc', 128) AS armour,
       quorin_mac('hello', 'k', '', 128) AS mac;

-- The key-file forms give what the key gives.
SELECT quorin_encrypt_keyfile(plaintext, :'component_key', iv, mode, 128)
         = quorin_encrypt(plaintext, '\x000102030405060708090a0b0c0d0e0f', iv, mode, 128) AS raw,
       quorin_decrypt_text_keyfile(quorin_encrypt_text_keyfile(plaintext, :'component_key', iv,
                                                               mode, 128),
                                   :'component_key', iv, mode, 128) = plaintext AS armoured,
       quorin_mac_keyfile(plaintext, :'component_key', '', 128)
         = quorin_mac(plaintext, '\x000102030405060708090a0b0c0d0e0f', '', 128) AS mac
  FROM rc6_vectors WHERE key_bytes = 16 ORDER BY mode, length(plaintext);

-- Keys of other lengths are zero-extended or cut to the key size, as the
-- component does; IVs shorter than a block are zero-extended.
SELECT quorin_encrypt('x', '\x0102', '', 'ecb', 128)
         = quorin_encrypt('x', '\x01020000000000000000000000000000', '', 'ecb', 128) AS extended,
       quorin_encrypt('x', '\x000102030405060708090a0b0c0d0e0f1011', '', 'ecb', 128)
         = quorin_encrypt('x', '\x000102030405060708090a0b0c0d0e0f', '', 'ecb', 128) AS cut,
       quorin_encrypt('x', 'k', '\x01', 'cbc', 128)
         = quorin_encrypt('x', 'k', '\x01000000000000000000000000000000', 'cbc', 128) AS short_iv,
       quorin_encrypt('', 'k', '', 'ECB', 256) AS empty_value;

-- NULL in any argument gives NULL.
SELECT quorin_encrypt(NULL, 'k', '', 'ecb', 128) IS NULL AS data,
       quorin_decrypt('\x00', NULL, '', 'ecb', 128) IS NULL AS key,
       quorin_encrypt_text('x', 'k', NULL, 'cbc', 128) IS NULL AS iv,
       quorin_decrypt_text('x', 'k', '', NULL, 128) IS NULL AS mode,
       quorin_mac('x', 'k', '', NULL) IS NULL AS key_bits,
       quorin_seal('x', NULL) IS NULL AS recipients,
       quorin_open(NULL, 'x') IS NULL AS sealed;

-- Sealed values: the known files open; a sealed value opens with the
-- identity of its recipient, in a statement or from a file.
SELECT name,
       CASE WHEN name LIKE '%identity%' THEN quorin_open(data, trim(pg_read_file(:'identity_file'), E'\n'))
            ELSE quorin_open_keyfile(data, :'sealed_key') END
         = (SELECT data FROM sealed_files WHERE name = 'sealed-kat.txt') AS opens
  FROM sealed_files WHERE name IN ('sealed-v2-identity.qsl', 'sealed-v2-keyfile.qsl')
  ORDER BY name;
SELECT convert_from(quorin_open_identityfile(
         quorin_seal('to a recipient', '{quorin10xnrrmk7r0uunrcjqvkdatwsu7s8jwv0c7rt3rxggmkgntu955dq4a5fkr}'),
         :'identity_file'), 'UTF8') AS recipient,
       convert_from(quorin_open_keyfile(quorin_seal_keyfile('to a key file', :'sealed_key'),
                                        :'sealed_key'), 'UTF8') AS key_file,
       quorin_seal('x', '{quorin10xnrrmk7r0uunrcjqvkdatwsu7s8jwv0c7rt3rxggmkgntu955dq4a5fkr}')
         <> quorin_seal('x', '{quorin10xnrrmk7r0uunrcjqvkdatwsu7s8jwv0c7rt3rxggmkgntu955dq4a5fkr}')
         AS randomised;

-- Refusals: each with its SQLSTATE and the library's message.
CREATE FUNCTION pg_temp.attempt(statement text) RETURNS text LANGUAGE plpgsql AS $$
BEGIN
  EXECUTE statement;
  RETURN 'accepted';
EXCEPTION WHEN OTHERS THEN
  RETURN SQLSTATE || ': ' || SQLERRM;
END $$;
SELECT refusal, replace(pg_temp.attempt(statement), :'secrets', '$SECRETS') AS attempt FROM (VALUES
  ('empty key', $$SELECT quorin_encrypt('x', '', '', 'ecb', 128)$$),
  ('key size', $$SELECT quorin_encrypt('x', 'k', '', 'ecb', 1)$$),
  ('mode', $$SELECT quorin_encrypt('x', 'k', '', 'xts', 128)$$),
  ('no IV', $$SELECT quorin_decrypt('\x00000000000000000000000000000000', 'k', '', 'cbc', 128)$$),
  ('not whole blocks', $$SELECT quorin_decrypt('\x0001', 'k', '', 'ecb', 128)$$),
  ('empty ciphertext', $$SELECT quorin_decrypt('', 'k', '', 'ecb', 128)$$),
  ('bad armour', $$SELECT quorin_decrypt_text('abc', 'k', '', 'ecb', 128)$$),
  ('no recipients', $$SELECT quorin_seal('x', '{}')$$),
  ('NULL recipient', $$SELECT quorin_seal('x', '{NULL}')$$),
  ('bad recipient', $$SELECT quorin_seal('x', '{quorin1abc}')$$),
  ('identity as recipient', $$SELECT quorin_seal('x', ARRAY[trim(pg_read_file('$$ || :'identity_file' || $$'), E'\n')])$$),
  ('bad identity', $$SELECT quorin_open('x', 'QUORIN-IDENTITY-1XYZ')$$),
  ('not sealed', $$SELECT quorin_open_identityfile('plain text', '$$ || :'identity_file' || $$')$$),
  ('wrong identity', $$SELECT quorin_open_identityfile(data, '$$ || :'other_identity' || $$')
                        FROM sealed_files WHERE name = 'sealed-v2-identity.qsl'$$),
  ('sealed for a key file', $$SELECT quorin_open_identityfile(data, '$$ || :'identity_file' || $$')
                               FROM sealed_files WHERE name = 'sealed-v2-keyfile.qsl'$$),
  ('passphrase only', $$SELECT quorin_open_keyfile(data, '$$ || :'sealed_key' || $$')
                        FROM sealed_files WHERE name = 'sealed-passphrase.qsl'$$),
  ('truncated', $$SELECT quorin_open_keyfile(substr(data, 1, length(data) - 1), '$$ || :'sealed_key' || $$')
                   FROM sealed_files WHERE name = 'sealed-v2-keyfile.qsl'$$),
  ('altered', $$SELECT quorin_open_keyfile(overlay(data placing '\x00' from length(data) - 20), '$$ || :'sealed_key' || $$')
                 FROM sealed_files WHERE name = 'sealed-v2-keyfile.qsl'$$),
  ('relative key file', $$SELECT quorin_encrypt_keyfile('x', 'component.key', '', 'ecb', 128)$$),
  ('missing key file', $$SELECT quorin_encrypt_keyfile('x', '/nonexistent/key', '', 'ecb', 128)$$),
  ('folder as key file', $$SELECT quorin_encrypt_keyfile('x', '/', '', 'ecb', 128)$$),
  ('empty key file', $$SELECT quorin_encrypt_keyfile('x', '$$ || :'empty_file' || $$', '', 'ecb', 128)$$),
  ('long key file', $$SELECT quorin_seal_keyfile('x', '$$ || :'long_file' || $$')$$),
  ('short sealing key', $$SELECT quorin_seal_keyfile('x', '$$ || :'short_file' || $$')$$)
) AS refusals(refusal, statement);

-- Files on the server are for those who may read them.
CREATE ROLE quorin_reader;
SET ROLE quorin_reader;
SELECT pg_temp.attempt($$SELECT quorin_encrypt_keyfile('x', '/k', '', 'ecb', 128)$$) AS without;
SELECT encode(quorin_encrypt('x', 'k', '', 'ecb', 128), 'hex') AS key_in_statement;
RESET ROLE;
GRANT pg_read_server_files TO quorin_reader;
SET ROLE quorin_reader;
SELECT length(quorin_encrypt_keyfile('x', :'component_key', '', 'ecb', 128)) AS with_grant;
RESET ROLE;
DROP ROLE quorin_reader;

-- Errors reach the log without the statement that holds the key.
SELECT quorin_decrypt('\x0001', '\xfeedfacecafebeef0011223344556677', '', 'ecb', 128);
SELECT quorin_open('x', 'QUORIN-IDENTITY-1FEEDFACECAFEBEEF');
