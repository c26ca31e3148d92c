-- Demo data for boleto-sr: company 01 with one open installment collectable
-- through each of the ten supported banks, and one document of three
-- installments. Runs unchanged on SQLite and PostgreSQL after the schema
-- (scripts/make-demo-db loads it and sets PARAMIMP.LOCALANEXO to demo/print).
--
-- Every CHAR key is stored blank-padded to its width, as the program writes
-- it: unit "01" + 6 blanks, document code + blanks to 10, series to 3,
-- number to 8, status "A ".
--
-- Installment key (company 01, unit 01)   bank  account settings
-- DM  1   1001 /01                        409   agreement 2031671; other deductions
-- DM  1   1002 /01                        237   portfolio 09; discount, interest,
--                                               fine and bank fee on the boleto
-- DM  1   1003 /01                        001   seven-digit agreement 1234567
-- DM  1   1004 /01                        033   portfolio 101 (ECR); other additions
-- NFS 2   1005 /01                        356   amount equal to the account maximum;
--                                               bank fee; no logo
-- DM  1   1006 /01                        341   portfolio 109; withheld income tax;
--                                               3 % discount until 5 days before due
-- DM  1   1007 /01                        399   portfolio CNR, due 01/02/2027
-- DM  1   1008 /01                        104   six-character code; remittance
--                                               account (GeraRemessaBolSR "S")
-- NFS 2   1009 /01                        756   portfolio 101 (modality 1)
-- DM  1   1010 /01                        021   RefBancaria 0000000000; no logo and
--                                               no PARAMBANBOL row
-- DM  1   1011 /01                        001   six-digit agreement 123456
-- DM  1   1011 /02                        237   prints 02/03; bank fee only
-- DM  1   1011 /03                        104   sixteen-character code
--
-- Payers (SUPAEMPR type "C"): 000001 company, 15-character CGC with a leading
-- 0, CEP stored with 7 digits, second address "02" in SUPAENDR; 000002
-- individual JOSÉ DA CONCEIÇÃO with an 11-digit CPF; 000003 company with
-- street number 0.

INSERT INTO EMPRESA (CODIGO, NOME, NOMEABREV, MOEDAPADRAO, ENDCOBRANCA, ENDPAGAMENTO, USASAI,
                     TIPOEMPRESA, CODIGOEMPRESA, CGC, ENDERECO, BAIRRO, CIDADE, ESTADO)
VALUES ('01', 'TECELAGEM MODELO INDÚSTRIA E COMÉRCIO LTDA', 'TECELAGEM MODELO', 'R$', '00',
        '00', 'N', 'E', '000000', '48325719000129', 'RUA DAS INDÚSTRIAS, 500',
        'DISTRITO INDUSTRIAL', 'JUNDIAÍ', 'SP');

-- The print directory: replaced by the absolute path of demo/print.
INSERT INTO PARAMIMP (LOCALANEXO) VALUES ('@DEMO_PRINT_DIR@');

INSERT INTO SUPAEMPR (AEMPR_TIPO, AEMPR_CODIGO, AEMPR_RAZAO_SOCIAL, AEMPR_CGC, AEMPR_CPF,
                      AEMPR_CGC_CPF, AEMPR_RUA_AV, AEMPR_NRO, AEMPR_COMPL, AEMPR_BAIRRO_DIST,
                      AEMPR_CEP, AEMPR_CIDADE, AEMPR_ESTADO)
VALUES
  ('C', '000001', 'CONFECÇÕES BOA VISTA LTDA', '061740258000119', '', 'J',
   'AVENIDA PAULISTA', 1000, 'CONJ 12', 'BELA VISTA', '1310100', 'SÃO PAULO', 'SP'),
  ('C', '000002', 'JOSÉ DA CONCEIÇÃO', '', '71460238508', 'F',
   'RUA DAS FLORES', 25, 'APTO 301', 'CENTRO', '30110012', 'BELO HORIZONTE', 'MG'),
  ('C', '000003', 'MERCADINHO SÃO JOÃO LTDA', '009361547000197', '', 'J',
   'ESTRADA DO CAMPO LIMPO', 0, '', 'CAMPO LIMPO', '05777001', 'SÃO PAULO', 'SP');

INSERT INTO SUPAENDR (AENDR_TIPO_EMPR, AENDR_CODIGO, AENDR_NUM_ENDER, AENDR_CGC, AENDR_CPF,
                      AENDR_CGC_CPF, AENDR_RUA_AV, AENDR_NRO, AENDR_COMPL, AENDR_BAIRRO_DIST,
                      AENDR_CEP, AENDR_CIDADE, AENDR_ESTADO)
VALUES
  ('C', '000001', '02', '061740258000119', '', 'J',
   'RUA DO COMÉRCIO', 77, 'SALA 4', 'CENTRO', '13201005', 'JUNDIAÍ', 'SP');

-- Document types: neither is a forecast document (TIPO '6').
INSERT INTO DOCUMENTO (CODIGOEMP, CODIGO, TIPO)
VALUES ('01', 'DM        ', '1'),
       ('01', 'NFS       ', '2');

-- Species per bank and document code.
INSERT INTO DOCESP (CODIGOEMP, CODIGOBANCO, CODIGODOCUMENTO, CODIGOESPECIEB)
VALUES ('01', '409', 'DM        ', 'DM'),
       ('01', '237', 'DM        ', 'DM'),
       ('01', '001', 'DM        ', 'DM'),
       ('01', '033', 'DM        ', 'DM'),
       ('01', '356', 'DM        ', 'DM'),
       ('01', '341', 'DM        ', 'DM'),
       ('01', '399', 'DM        ', 'DM'),
       ('01', '104', 'DM        ', 'DM'),
       ('01', '756', 'DM        ', 'DM'),
       ('01', '021', 'DM        ', 'DM'),
       ('01', '356', 'NFS       ', 'DS'),
       ('01', '756', 'NFS       ', 'DS');

INSERT INTO BANCO (CODIGOEMP, CODIGO, NOME, MOEDA, VALDESPCOB)
VALUES ('01', '409', 'UNIBANCO UNIÃO DE BANCOS BRASILEIROS S.A', 'R$', 0),
       ('01', '237', 'BANCO BRADESCO S.A.', 'R$', 2.50),
       ('01', '001', 'BANCO DO BRASIL S.A.', 'R$', 0),
       ('01', '033', 'BANCO SANTANDER (BRASIL) S.A.', 'R$', 0),
       ('01', '356', 'BANCO REAL S.A.', 'R$', 1.90),
       ('01', '341', 'ITAÚ UNIBANCO S.A.', 'R$', 0),
       ('01', '399', 'HSBC BANK BRASIL S.A.', 'R$', 0),
       ('01', '104', 'CAIXA ECONÔMICA FEDERAL', 'R$', 0),
       ('01', '756', 'BANCO COOPERATIVO DO BRASIL S.A.', 'R$', 0),
       ('01', '021', 'BANESTES S.A.', 'R$', 0);

-- Descriptions printed where a bank has no logo. 409 and 021 have no row:
-- their description is the first word of BANCO.NOME.
INSERT INTO PARAMBANBOL (CODIGOEMP, CODIGOBANCO, DESCRICAOBANCO, DESCRICAOBOL1)
VALUES ('01', '237', 'Bradesco', 'Pagável preferencialmente na rede Bradesco'),
       ('01', '001', 'Banco do Brasil', 'Pagável em qualquer banco até o vencimento'),
       ('01', '033', 'Santander', 'Pagável em qualquer banco até o vencimento'),
       ('01', '356', 'Banco Real', 'Pagável em qualquer banco até o vencimento'),
       ('01', '341', 'Itaú', 'Pagável em qualquer banco até o vencimento'),
       ('01', '399', 'HSBC', 'Pagável em qualquer banco até o vencimento'),
       ('01', '104', 'CAIXA', 'Preferencialmente nas casas lotéricas até o valor limite'),
       ('01', '756', 'Sicoob', 'Pagável em qualquer banco até o vencimento');

-- Portfolios: the installment's portfolio is the account's CarteiraSR; the
-- external code is what the bank's free field carries.
INSERT INTO CARTEIRA (CODIGOEMP, CODIGOBANCO, CODIGO, DESCRICAO, CARTEIRAEXT)
VALUES ('01', '409', '20', 'COBRANÇA ESPECIAL SEM REGISTRO', '20'),
       ('01', '237', '09', 'COBRANÇA SEM REGISTRO', '09'),
       ('01', '001', '18', 'COBRANÇA SIMPLES SEM REGISTRO', '18'),
       ('01', '033', '01', 'COBRANÇA SIMPLES ECR', '101'),
       ('01', '356', '20', 'COBRANÇA SEM REGISTRO', '20'),
       ('01', '341', '9', 'DIRETA ELETRÔNICA SEM REGISTRO', '109'),
       ('01', '399', 'CN', 'COBRANÇA NÃO REGISTRADA', 'CNR'),
       ('01', '104', '24', 'COBRANÇA SEM REGISTRO', 'SR'),
       ('01', '756', '1', 'COBRANÇA SIMPLES SEM REGISTRO', '101'),
       ('01', '021', '11', 'COBRANÇA SEM REGISTRO', '2');

-- Collecting accounts with their unregistered-collection settings.
-- Bradesco agency 1234-3 and account 0012345-5 carry their own check digits;
-- Itaú account 12345-7 carries the digit of agency 0057 and account 12345.
INSERT INTO CONTA (CODIGOEMP, CODIGOBANCO, CODIGOAGENCIA, CODIGO, VALORMINIMOBOL, VALORMAXIMOBOL,
                   IDENTIFICACAOSR, CARTEIRASR, DESCONTOBOL, JUROSBOL, MULTABOL, DESPBANCBOL,
                   GERAREMESSABOLSR, DATAANTEBOL, ANTECIPABOL, ALTDATAANTEBOL, INSTRUCAO1BOL,
                   INSTRUCAO2BOL)
VALUES
  ('01', '409', '0123', '101010-5', 1.00, 100000.00, '2031671', '20',
   'N', 'N', 'N', 'N', 'N', 'N', 0, 'N', '01', '02'),
  ('01', '237', '1234-3', '0012345-5', 1.00, 100000.00, '0012345', '09',
   'S', 'S', 'S', 'S', 'N', 'N', 0, 'N', '01', '02'),
  ('01', '001', '4567-8', '98765-4', 1.00, 100000.00, '1234567', '18',
   'N', 'N', 'N', 'N', 'N', 'N', 0, 'N', '01', '02'),
  ('01', '001', '4567-8', '55555-0', 1.00, 100000.00, '123456', '18',
   'N', 'N', 'N', 'N', 'N', 'N', 0, 'N', '02', '01'),
  ('01', '033', '3456', '13000123-4', 1.00, 100000.00, '7654321', '01',
   'N', 'N', 'N', 'N', 'N', 'N', 0, 'N', '01', '02'),
  ('01', '356', '0501', '6703255', 50.00, 5000.00, '6703255', '20',
   'N', 'N', 'N', 'S', 'N', 'N', 0, 'N', '01', '02'),
  ('01', '341', '0057', '12345-7', 1.00, 100000.00, '12345', '9',
   'S', 'N', 'N', 'N', 'N', 'V', 5, 'S', '01', '02'),
  ('01', '399', '1234', '1234567-8', 1.00, 100000.00, '3903125', 'CN',
   'N', 'N', 'N', 'N', 'N', 'N', 0, 'N', '01', '02'),
  ('01', '104', '1234', '00012345-6', 1.00, 100000.00, '654321', '24',
   'N', 'S', 'S', 'N', 'S', 'N', 0, 'N', '01', '02'),
  ('01', '104', '1234', '00054321-0', 1.00, 100000.00, '1234870000003217', '24',
   'N', 'N', 'N', 'N', 'N', 'N', 0, 'N', '01', '02'),
  ('01', '756', '4321', '123456-7', 1.00, 100000.00, '001234567', '1',
   'N', 'N', 'N', 'N', 'N', 'N', 0, 'N', '01', '02'),
  ('01', '021', '0123', '12345678901', 1.00, 100000.00, '12345678901', '11',
   'N', 'N', 'N', 'N', 'N', 'N', 0, 'N', '02', '01');

INSERT INTO INSTRUCAO (CODIGOEMP, CODIGOBANCO, CODIGO, DESCRICAO)
VALUES ('01', '409', '01', 'NÃO RECEBER APÓS 30 DIAS DO VENCIMENTO'),
       ('01', '409', '02', 'PROTESTAR APÓS 5 DIAS ÚTEIS DO VENCIMENTO'),
       ('01', '237', '01', 'NÃO RECEBER APÓS 30 DIAS DO VENCIMENTO'),
       ('01', '237', '02', 'PROTESTAR APÓS 5 DIAS ÚTEIS DO VENCIMENTO'),
       ('01', '001', '01', 'NÃO RECEBER APÓS 30 DIAS DO VENCIMENTO'),
       ('01', '001', '02', 'NÃO DISPENSAR JUROS DE MORA'),
       ('01', '033', '01', 'NÃO RECEBER APÓS 30 DIAS DO VENCIMENTO'),
       ('01', '033', '02', 'PROTESTAR APÓS 5 DIAS ÚTEIS DO VENCIMENTO'),
       ('01', '356', '01', 'NÃO RECEBER APÓS 15 DIAS DO VENCIMENTO'),
       ('01', '356', '02', 'PROTESTAR APÓS 5 DIAS ÚTEIS DO VENCIMENTO'),
       ('01', '341', '01', 'NÃO RECEBER APÓS 30 DIAS DO VENCIMENTO'),
       ('01', '341', '02', 'PROTESTAR APÓS 10 DIAS CORRIDOS DO VENCIMENTO'),
       ('01', '399', '01', 'NÃO RECEBER APÓS 30 DIAS DO VENCIMENTO'),
       ('01', '399', '02', 'PROTESTAR APÓS 5 DIAS ÚTEIS DO VENCIMENTO'),
       ('01', '104', '01', 'NÃO RECEBER APÓS 30 DIAS DO VENCIMENTO'),
       ('01', '104', '02', 'SUJEITO A PROTESTO APÓS O VENCIMENTO'),
       ('01', '756', '01', 'NÃO RECEBER APÓS 30 DIAS DO VENCIMENTO'),
       ('01', '756', '02', 'PROTESTAR APÓS 5 DIAS ÚTEIS DO VENCIMENTO'),
       ('01', '021', '01', 'NÃO RECEBER APÓS 30 DIAS DO VENCIMENTO'),
       ('01', '021', '02', 'PROTESTAR APÓS 5 DIAS ÚTEIS DO VENCIMENTO');

INSERT INTO DOCUMENTOR (CODIGOEMP, CODIGOUNIDADE, CODIGODOCUMENTO, SERIE, NUMERO, TIPOEMPRESA,
                        CODIGOEMPRESA, CHEGADA, STATUS, MOEDA)
VALUES ('01', '01      ', 'DM        ', '1  ', '1001    ', 'C', '000001', '2026-03-02', 'A ', 'R$'),
       ('01', '01      ', 'DM        ', '1  ', '1002    ', 'C', '000001', '2026-03-02', 'A ', 'R$'),
       ('01', '01      ', 'DM        ', '1  ', '1003    ', 'C', '000002', '2026-03-05', 'A ', 'R$'),
       ('01', '01      ', 'DM        ', '1  ', '1004    ', 'C', '000001', '2026-03-05', 'A ', 'R$'),
       ('01', '01      ', 'NFS       ', '2  ', '1005    ', 'C', '000003', '2026-03-10', 'A ', 'R$'),
       ('01', '01      ', 'DM        ', '1  ', '1006    ', 'C', '000001', '2026-03-10', 'A ', 'R$'),
       ('01', '01      ', 'DM        ', '1  ', '1007    ', 'C', '000002', '2026-03-12', 'A ', 'R$'),
       ('01', '01      ', 'DM        ', '1  ', '1008    ', 'C', '000001', '2026-03-12', 'A ', 'R$'),
       ('01', '01      ', 'NFS       ', '2  ', '1009    ', 'C', '000002', '2026-03-16', 'A ', 'R$'),
       ('01', '01      ', 'DM        ', '1  ', '1010    ', 'C', '000003', '2026-03-16', 'A ', 'R$'),
       ('01', '01      ', 'DM        ', '1  ', '1011    ', 'C', '000001', '2026-03-20', 'A ', 'R$');

-- Open installments: no receipt, no bank reference, no receipt document.
INSERT INTO PARCELAR (CODIGOEMP, CODIGOUNIDADE, CODIGODOCUMENTO, SERIE, NUMERO, PARCELA,
                      EMISSAO, VENCIMENTO, PROGRAMADA, RECEBIMENTO,
                      BANCOCOBRANCA, AGENCIACOBRANCA, CONTACOBRANCA, CODIGOCARTEIRA, VALOR,
                      VALORIRRF, VALORINSS, VALORCSLL, VALORCOFINS, VALORPIS, VALORISS,
                      VALOROUTROD, VALOROUTROC, VALORDESCONTOP, PERCENTUALDESCTP,
                      PERCENTUALJUROSP, VALORMULTAP, PERCENTUALMULTAP,
                      IDBANCARIA, REFBANCARIA, NUMERORECEBIMENTO, DOCTORECEBIMENTO)
VALUES
  ('01', '01      ', 'DM        ', '1  ', '1001    ', '01', '2026-03-02', '2026-04-15', NULL, NULL,
   '409', '0123', '101010-5', '20', 1234.56,
   0, 0, 0, 0, 0, 0, 34.56, 0, 0, 0, 0, 0, 0,
   NULL, NULL, '          ', '          '),
  ('01', '01      ', 'DM        ', '1  ', '1002    ', '01', '2026-03-02', '2026-04-30', NULL, NULL,
   '237', '1234-3', '0012345-5', '09', 2345.67,
   0, 0, 0, 0, 0, 0, 0, 0, 25.00, 0, 0.0333, 0, 2.00,
   NULL, NULL, '          ', '          '),
  ('01', '01      ', 'DM        ', '1  ', '1003    ', '01', '2026-03-05', '2026-05-05', NULL, NULL,
   '001', '4567-8', '98765-4', '18', 987.65,
   0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
   NULL, NULL, '          ', '          '),
  ('01', '01      ', 'DM        ', '1  ', '1004    ', '01', '2026-03-05', '2026-06-10', NULL, NULL,
   '033', '3456', '13000123-4', '01', 4321.00,
   0, 0, 0, 0, 0, 0, 0, 15.00, 0, 0, 0, 0, 0,
   NULL, NULL, '          ', '          '),
  ('01', '01      ', 'NFS       ', '2  ', '1005    ', '01', '2026-03-10', '2026-07-20', NULL, NULL,
   '356', '0501', '6703255', '20', 5000.00,
   0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
   NULL, NULL, '          ', '          '),
  ('01', '01      ', 'DM        ', '1  ', '1006    ', '01', '2026-03-10', '2026-08-31', NULL, NULL,
   '341', '0057', '12345-7', '9', 1234.56,
   18.52, 0, 0, 0, 0, 0, 0, 0, 0, 3.00, 0, 0, 0,
   NULL, NULL, '          ', '          '),
  ('01', '01      ', 'DM        ', '1  ', '1007    ', '01', '2026-03-12', '2027-02-01', NULL, NULL,
   '399', '1234', '1234567-8', 'CN', 789.01,
   0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
   NULL, NULL, '          ', '          '),
  ('01', '01      ', 'DM        ', '1  ', '1008    ', '01', '2026-03-12', '2026-10-15', NULL, NULL,
   '104', '1234', '00012345-6', '24', 1500.00,
   0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0.0330, 30.00, 0,
   NULL, NULL, '          ', '          '),
  ('01', '01      ', 'NFS       ', '2  ', '1009    ', '01', '2026-03-16', '2026-11-30', NULL, NULL,
   '756', '4321', '123456-7', '1', 2500.50,
   0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
   NULL, NULL, '          ', '          '),
  ('01', '01      ', 'DM        ', '1  ', '1010    ', '01', '2026-03-16', '2026-12-21', NULL, NULL,
   '021', '0123', '12345678901', '11', 350.75,
   0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
   NULL, '0000000000', '          ', '          '),
  ('01', '01      ', 'DM        ', '1  ', '1011    ', '01', '2026-03-20', '2026-05-20', NULL, NULL,
   '001', '4567-8', '55555-0', '18', 1000.00,
   0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
   NULL, NULL, '          ', '          '),
  ('01', '01      ', 'DM        ', '1  ', '1011    ', '02', '2026-03-20', '2026-06-20', NULL, NULL,
   '237', '1234-3', '0012345-5', '09', 1000.00,
   0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
   NULL, NULL, '          ', '          '),
  ('01', '01      ', 'DM        ', '1  ', '1011    ', '03', '2026-03-20', '2027-01-20', NULL, NULL,
   '104', '1234', '00054321-0', '24', 1000.01,
   0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
   NULL, NULL, '          ', '          ');

-- Bank references handed out so far; the remittance account draws the next.
INSERT INTO DOCNUMERO (CODIGOEMP, CODIGO, NUMERO) VALUES ('01', 'REFBANCAR ', '0000000041');
