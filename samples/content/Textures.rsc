QuennelEngine2 MetaData Version 8 {
  Info {
    EditDataStripped: 1
    ResourceFiles: 0
    Idents: 1
    Types: 12
    Objects: 2
  }
  ResourceFiles 0 {
  }
  Idents 1 {
    Ident: 0
    Name: "Checker"
  }
  ExternalTypes 0 {
  }
  InternalTypes 12 {
    DataType {
      DataType: 0
      Name: "CResourceFile"
      Format: 1
      Type: Struct
      Base: 1
      Members 5 {
        Member {
          Name: "rf_iDefaultID"
          Type: 2
        }
        Member {
          Name: "rf_iNextID"
          Type: 2
        }
        Member {
          Name: "rf_iNextExposedID"
          Type: 2
        }
        Member {
          Name: "rf_saShared"
          Type: 3
        }
        Member {
          Name: "rf_saExposed"
          Type: 3
        }
      }
    }
    DataType {
      DataType: 1
      Name: "CObject"
      Format: 1
      Type: Struct
      Base: -1
      Members 0 {
      }
    }
    DataType {
      DataType: 2
      Name: "SLONG"
      Format: 1
      Type: Simple
      Bytes: 4
      LBE: 4
    }
    DataType {
      DataType: 3
      Name: "CStaticStackArray<CResource*>"
      Format: 1
      Type: CStaticStackArray
      Of: 4
    }
    DataType {
      DataType: 4
      Name: "CResource*"
      Format: 1
      Type: Pointer
      To: 5
    }
    DataType {
      DataType: 5
      Name: "CResource"
      Format: 1
      Type: Struct
      Base: 7
      Members 5 {
        Member {
          Name: "rs_iID"
          Type: 2
        }
        Member {
          Name: "rs_iExposedID"
          Type: 2
        }
        Member {
          Name: "rs_idName"
          Type: 8
        }
        Member {
          Name: "rs_ulFlags"
          Type: 9
        }
        Member {
          Name: "rs_pExtra"
          Type: 10
        }
      }
    }
    DataType {
      DataType: 6
      Name: "CSampleTexture"
      Format: 1
      Type: Struct
      Base: 5
      Members 3 {
        Member {
          Name: "st_iWidth"
          Type: 2
        }
        Member {
          Name: "st_iHeight"
          Type: 2
        }
        Member {
          Name: "st_aulPixels"
          Type: 11
        }
      }
    }
    DataType {
      DataType: 7
      Name: "CSmartObject"
      Format: 1
      Type: Struct
      Base: 1
      Members 0 {
      }
    }
    DataType {
      DataType: 8
      Name: "IDENT"
      Format: 1
      Type: Simple
      Bytes: 4
      LBE: 4
    }
    DataType {
      DataType: 9
      Name: "ULONG"
      Format: 1
      Type: Simple
      Bytes: 4
      LBE: 4
    }
    DataType {
      DataType: 10
      Name: "CObject*"
      Format: 1
      Type: Pointer
      To: 1
    }
    DataType {
      DataType: 11
      Name: "CStaticStackArray<SLONG>"
      Format: 1
      Type: CStaticStackArray
      Of: 2
    }
  }
  ExternalObjects 0 {
  }
  InternalObjectTypes 2 {
    Object: 0
    Type: 0
    Object: 1
    Type: 6
  }
  EditObjectTypes 0 {
  }
  InternalObjects 2 {
    Object: 0
    Type: 0
    {
      Struct {
      }
      Struct {
        rf_iDefaultID {
          SLONG: 01 00 00 00 
        }
        rf_iNextID {
          SLONG: 02 00 00 00 
        }
        rf_iNextExposedID {
          SLONG: ff ff ff ff 
        }
        rf_saShared {
          StaticStackArray 1 {
            Ptr: 1
          }
        }
        rf_saExposed {
          StaticStackArray 0 {
          }
        }
      }
    }
    Object: 1
    Type: 6
    {
      Struct {
      }
      Struct {
      }
      Struct {
        rs_iID {
          SLONG: 01 00 00 00 
        }
        rs_iExposedID {
          SLONG: ff ff ff ff 
        }
        rs_idName {
          Ident: 0
        }
        rs_ulFlags {
          ULONG: 00 00 00 00 
        }
        rs_pExtra {
          Ptr: -1
        }
      }
      Struct {
        st_iWidth {
          SLONG: 20 00 00 00 
        }
        st_iHeight {
          SLONG: 20 00 00 00 
        }
        st_aulPixels {
          StaticStackArray 1024 {
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 20 a0 e0 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
            SLONG: 10 20 90 ff 
          }
        }
      }
    }
  }
  EditObjects 0 {
  }
}
